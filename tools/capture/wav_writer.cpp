#include "wav_writer.hpp"

#include <cstring>

namespace capture {

namespace {

void PutLittle(uint8_t* p, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr int channels = 2, bytesPerFrame = 4, headerBytes = 44;

} // namespace

bool WavWriter::Open(const std::string& path, int rate) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    rate_ = rate;
    frames_ = 0;
    return file_ && WriteHeader();
}

bool WavWriter::Append(const int16_t* interleaved, int frames) {
    if (!file_) return false;
    if (frames <= 0) return true;
    // WAV samples are little-endian, as this machine's are.
    size_t written = std::fwrite(interleaved, bytesPerFrame, static_cast<size_t>(frames), file_);
    frames_ += static_cast<int64_t>(written);
    return written == static_cast<size_t>(frames);
}

bool WavWriter::WriteHeader() {
    uint8_t h[headerBytes] = {};
    uint32_t dataBytes = static_cast<uint32_t>(frames_ * bytesPerFrame);
    std::memcpy(h, "RIFF", 4);
    PutLittle(h + 4, 36 + dataBytes, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLittle(h + 16, 16, 4);
    PutLittle(h + 20, 1, 2); // PCM
    PutLittle(h + 22, channels, 2);
    PutLittle(h + 24, static_cast<uint32_t>(rate_), 4);
    PutLittle(h + 28, static_cast<uint32_t>(rate_ * bytesPerFrame), 4);
    PutLittle(h + 32, bytesPerFrame, 2);
    PutLittle(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    PutLittle(h + 40, dataBytes, 4);
    return std::fseek(file_, 0, SEEK_SET) == 0 &&
           std::fwrite(h, 1, headerBytes, file_) == size_t{headerBytes} &&
           std::fseek(file_, 0, SEEK_END) == 0;
}

bool WavWriter::Close() {
    if (!file_) return true;
    bool written = WriteHeader();
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    return written;
}

} // namespace capture
