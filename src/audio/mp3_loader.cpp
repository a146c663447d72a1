// MP3 (MPEG 1, 2 and 2.5, layers 1 to 3) through libmpg123, over the
// framework's streams, at the file's own rate and channels.
#include "sound_decoder.hpp"

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zandrel {

namespace {

// No C++ exception may unwind through libmpg123: stream errors become the
// library's own read and seek failures.
mpg123_ssize_t ReadBytes(void* source, void* buffer, size_t bytes) {
    int n = ReadForCodec(*static_cast<TStream*>(source), buffer, bytes);
    if (n < 0) errno = EIO;
    return n;
}

off_t SeekBytes(void* source, off_t offset, int whence) {
    return static_cast<off_t>(SeekForCodec(*static_cast<TStream*>(source), offset, whence));
}

// Without a tag or a frame header at the start, other data would be searched
// for something that looks like a frame, and noise decoded from it.
bool LooksLikeMp3(TStream& stream) {
    uint8_t head[4] = {};
    int start = stream.Pos();
    bool whole = ReadUpTo(stream, head, 4) == 4;
    stream.Seek(start);
    if (!whole) return false;
    if (std::memcmp(head, "ID3", 3) == 0) return true;
    bool sync = head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
    bool layer = (head[1] & 0x06) != 0, version = (head[1] & 0x18) != 0x08;
    bool bitrate = (head[2] >> 4) != 0xF, rate = ((head[2] >> 2) & 3) != 3;
    return sync && layer && version && bitrate && rate;
}

class Mp3Decoder final : public SoundDecoder {
public:
    explicit Mp3Decoder(Ref<TStream> stream) : stream_(std::move(stream)) {}
    ~Mp3Decoder() override {
        if (handle_) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // An empty string, or why the file cannot be played. The whole file is
    // scanned once for its exact length.
    std::string Open() {
        start_ = stream_->Pos();
        int error = MPG123_OK;
        handle_ = mpg123_new(nullptr, &error);
        if (!handle_) return mpg123_plain_strerror(error);
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (mpg123_replace_reader_handle(handle_, ReadBytes, SeekBytes, nullptr) != MPG123_OK)
            return mpg123_strerror(handle_);
        if (!StartOver()) return mpg123_strerror(handle_);
        if (mpg123_scan(handle_) != MPG123_OK) return mpg123_strerror(handle_);
        off_t length = mpg123_length(handle_);
        length_ = length >= 0 ? static_cast<int64_t>(length) : -1;
        if (channels_ < 1 || channels_ > 2 || hertz_ <= 0) return "an unplayable format";
        return StartOver() ? std::string() : mpg123_strerror(handle_);
    }

    int Read(int16_t* out, int frames) override {
        size_t wanted = static_cast<size_t>(frames) * channels_ * sizeof(int16_t);
        size_t done = 0;
        while (done < wanted) {
            size_t got = 0;
            int result = mpg123_read(handle_, reinterpret_cast<unsigned char*>(out) + done,
                                     wanted - done, &got);
            done += got;
            if (result == MPG123_DONE) break;
            if (result == MPG123_NEW_FORMAT) continue;
            if (result != MPG123_OK) {
                if (done == 0) return -1;
                break;
            }
            if (got == 0) break;
        }
        return static_cast<int>(done / (channels_ * sizeof(int16_t)));
    }

    // After libmpg123's own seek, values can differ in the last bit from
    // those a decode from the start gives there; decoding the way there
    // gives the same frames, at the cost of decoding what is skipped.
    bool Seek(int64_t frame) override {
        if (!StartOver()) return false;
        std::vector<int16_t> skipped(4096 * static_cast<size_t>(channels_));
        while (frame > 0) {
            int n = Read(skipped.data(), static_cast<int>(std::min<int64_t>(frame, 4096)));
            if (n <= 0) return false;
            frame -= n;
        }
        return true;
    }

private:
    // Opened afresh: the first frames decoded after a scan or a seek back to
    // the start differ in the last bit from those of a fresh start, which
    // the reference decoder and the whole-sample loader give.
    bool StartOver() {
        mpg123_close(handle_);
        try {
            if (stream_->Seek(start_) != start_) return false;
        } catch (...) {
            return false;
        }
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_open_handle(handle_, stream_.get()) != MPG123_OK ||
            mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK)
            return false;
        channels_ = channels;
        hertz_ = static_cast<int>(rate);
        return true;
    }

    Ref<TStream> stream_;
    mpg123_handle* handle_ = nullptr;
    int start_ = 0;
};

} // namespace

std::unique_ptr<SoundDecoder> OpenMp3Decoder(const Ref<TStream>& stream) {
    if (!LooksLikeMp3(*stream)) return nullptr;
    auto decoder = std::make_unique<Mp3Decoder>(stream);
    std::string why = decoder->Open();
    if (why.empty()) return decoder;
    SetLoadError(u"not a playable MP3 file: " + FromUtf8(why));
    return nullptr;
}

} // namespace zandrel
