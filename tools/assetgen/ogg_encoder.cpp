#include "ogg_encoder.hpp"

#include <vorbis/vorbisenc.h>

namespace assetgen {

namespace {

constexpr int blockFrames = 1024;
constexpr int streamSerial = 0x5A4E44;

// The encoder's state, released in one place whatever happens.
struct Encoder {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    bool analysing = false;

    Encoder() {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~Encoder() {
        if (analysing) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
};

void WritePage(zandrel::TStream& out, const ogg_page& page) {
    out.WriteBytes(page.header, static_cast<int>(page.header_len));
    out.WriteBytes(page.body, static_cast<int>(page.body_len));
}

void WriteHeaders(Encoder& e, zandrel::TStream& out) {
    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&e.dsp, &e.comment, &identification, &comments, &codebooks);
    ogg_stream_packetin(&e.stream, &identification);
    ogg_stream_packetin(&e.stream, &comments);
    ogg_stream_packetin(&e.stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&e.stream, &page))
        WritePage(out, page);
}

void DrainBlocks(Encoder& e, zandrel::TStream& out) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
        vorbis_analysis(&e.block, nullptr);
        vorbis_bitrate_addblock(&e.block);
        while (vorbis_bitrate_flushpacket(&e.dsp, &packet)) {
            ogg_stream_packetin(&e.stream, &packet);
            while (ogg_stream_pageout(&e.stream, &page))
                WritePage(out, page);
        }
    }
}

} // namespace

void WriteOggVorbis(const StereoBuffer& music, const zandrel::Url& url, float quality) {
    auto out = zandrel::OpenSaveStream(url);
    if (!out) throw zandrel::RuntimeError("Unable to write the music file");
    Encoder e;
    if (vorbis_encode_init_vbr(&e.info, 2, sampleRate, quality) != 0)
        throw zandrel::RuntimeError("The Vorbis encoder refused its settings");
    vorbis_comment_add_tag(&e.comment, "TITLE", "diskox");
    vorbis_analysis_init(&e.dsp, &e.info);
    vorbis_block_init(&e.dsp, &e.block);
    ogg_stream_init(&e.stream, streamSerial);
    e.analysing = true;
    WriteHeaders(e, *out);

    for (int first = 0; first < music.Frames(); first += blockFrames) {
        int count = std::min(blockFrames, music.Frames() - first);
        float** buffer = vorbis_analysis_buffer(&e.dsp, count);
        std::copy_n(music.Left().data() + first, count, buffer[0]);
        std::copy_n(music.Right().data() + first, count, buffer[1]);
        vorbis_analysis_wrote(&e.dsp, count);
        DrainBlocks(e, *out);
    }
    vorbis_analysis_wrote(&e.dsp, 0);
    DrainBlocks(e, *out);
    if (!out->Close()) throw zandrel::RuntimeError("Unable to write the music file");
}

} // namespace assetgen
