// FLAC through libFLAC's stream decoder, over the framework's streams.
#include "sound_decoder.hpp"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zandrel {

namespace {

// No C++ exception may unwind through libFLAC: stream errors become the
// library's own read and seek failures.
class FlacDecoder final : public SoundDecoder {
public:
    explicit FlacDecoder(Ref<TStream> stream) : stream_(std::move(stream)) {}
    ~FlacDecoder() override {
        if (decoder_) FLAC__stream_decoder_delete(decoder_);
    }
    FlacDecoder(const FlacDecoder&) = delete;
    FlacDecoder& operator=(const FlacDecoder&) = delete;

    // An empty string, or why the file cannot be played.
    std::string Open() {
        decoder_ = FLAC__stream_decoder_new();
        if (!decoder_) return "out of memory";
        auto status = FLAC__stream_decoder_init_stream(decoder_, ReadBytes, SeekBytes, TellBytes,
                                                       StreamLength, AtEnd, TakeFrame, TakeInfo,
                                                       NoteError, this);
        if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK) return "the decoder did not start";
        if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_) || !infoSeen_)
            return "no stream information";
        if (channels_ < 1 || channels_ > 2) return "more than two channels";
        if (bits_ < 4 || bits_ > 32 || hertz_ <= 0) return "an unplayable format";
        return {};
    }

    int Read(int16_t* out, int frames) override {
        int done = 0;
        while (done < frames) {
            if (taken_ == pending_.size() / channels_) {
                pending_.clear();
                taken_ = 0;
                if (FLAC__stream_decoder_get_state(decoder_) == FLAC__STREAM_DECODER_END_OF_STREAM)
                    break;
                if (!FLAC__stream_decoder_process_single(decoder_)) return done ? done : -1;
                if (pending_.empty() &&
                    FLAC__stream_decoder_get_state(decoder_) == FLAC__STREAM_DECODER_END_OF_STREAM)
                    break;
                continue;
            }
            size_t n =
                std::min(pending_.size() / channels_ - taken_, static_cast<size_t>(frames - done));
            std::memcpy(out + static_cast<size_t>(done) * channels_,
                        pending_.data() + taken_ * channels_, n * channels_ * sizeof(int16_t));
            taken_ += n;
            done += static_cast<int>(n);
        }
        return done;
    }

    bool Seek(int64_t frame) override {
        pending_.clear();
        taken_ = 0;
        if (frame >= length_ && length_ >= 0) return frame == length_;
        if (FLAC__stream_decoder_seek_absolute(decoder_, static_cast<FLAC__uint64>(frame)))
            return true;
        FLAC__stream_decoder_flush(decoder_);
        return false;
    }

private:
    static FlacDecoder& Self(void* data) { return *static_cast<FlacDecoder*>(data); }

    static FLAC__StreamDecoderReadStatus ReadBytes(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                                   size_t* bytes, void* data) {
        int n = ReadForCodec(*Self(data).stream_, buffer, *bytes);
        *bytes = n > 0 ? static_cast<size_t>(n) : 0;
        return n > 0    ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE
               : n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                        : FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }

    static FLAC__StreamDecoderSeekStatus SeekBytes(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                                   void* data) {
        if (offset > INT_MAX) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
        return SeekForCodec(*Self(data).stream_, static_cast<int64_t>(offset), SEEK_SET) < 0
                   ? FLAC__STREAM_DECODER_SEEK_STATUS_ERROR
                   : FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    }

    static FLAC__StreamDecoderTellStatus TellBytes(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                                   void* data) {
        try {
            int pos = Self(data).stream_->Pos();
            *offset = pos < 0 ? 0 : static_cast<FLAC__uint64>(pos);
            return pos < 0 ? FLAC__STREAM_DECODER_TELL_STATUS_ERROR
                           : FLAC__STREAM_DECODER_TELL_STATUS_OK;
        } catch (...) {
            return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
        }
    }

    static FLAC__StreamDecoderLengthStatus StreamLength(const FLAC__StreamDecoder*,
                                                        FLAC__uint64* length, void* data) {
        try {
            *length = static_cast<FLAC__uint64>(std::max(Self(data).stream_->Size(), 0));
            return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
        } catch (...) {
            return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
        }
    }

    static FLAC__bool AtEnd(const FLAC__StreamDecoder*, void* data) {
        try {
            return Self(data).stream_->Eof();
        } catch (...) {
            return true;
        }
    }

    // Frames wider than 16 bits keep their top 16 bits; narrower ones are
    // scaled up to full range.
    static FLAC__StreamDecoderWriteStatus TakeFrame(const FLAC__StreamDecoder*,
                                                    const FLAC__Frame* frame,
                                                    const FLAC__int32* const buffer[], void* data) {
        FlacDecoder& self = Self(data);
        if (static_cast<int>(frame->header.channels) != self.channels_)
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        int shift = self.bits_ - 16;
        for (unsigned i = 0; i < frame->header.blocksize; ++i)
            for (int c = 0; c < self.channels_; ++c) {
                FLAC__int32 v = buffer[c][i];
                self.pending_.push_back(
                    static_cast<int16_t>(shift >= 0 ? v >> shift : v * (1 << -shift)));
            }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void TakeInfo(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                         void* data) {
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
        FlacDecoder& self = Self(data);
        const auto& info = metadata->data.stream_info;
        self.infoSeen_ = true;
        self.channels_ = static_cast<int>(info.channels);
        self.hertz_ = static_cast<int>(info.sample_rate);
        self.bits_ = static_cast<int>(info.bits_per_sample);
        self.length_ = info.total_samples ? static_cast<int64_t>(info.total_samples) : -1;
    }

    // A damaged frame is skipped, as a hole in an Ogg file is.
    static void NoteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    Ref<TStream> stream_;
    FLAC__StreamDecoder* decoder_ = nullptr;
    bool infoSeen_ = false;
    int bits_ = 0;
    std::vector<int16_t> pending_;
    size_t taken_ = 0;
};

bool StartsWith(TStream& stream, const char* magic, int length) {
    char bytes[8] = {};
    int start = stream.Pos();
    bool same = ReadUpTo(stream, bytes, length) == length && std::memcmp(bytes, magic, length) == 0;
    stream.Seek(start);
    return same;
}

} // namespace

std::unique_ptr<SoundDecoder> OpenFlacDecoder(const Ref<TStream>& stream) {
    if (!StartsWith(*stream, "fLaC", 4)) return nullptr;
    auto decoder = std::make_unique<FlacDecoder>(stream);
    std::string why = decoder->Open();
    if (why.empty()) return decoder;
    SetLoadError(u"not a playable FLAC file: " + FromUtf8(why));
    return nullptr;
}

} // namespace zandrel
