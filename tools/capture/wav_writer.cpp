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
    if (file_) WriteHeader();
    return file_ != nullptr;
}

void WavWriter::Append(const int16_t* interleaved, int frames) {
    if (!file_ || frames <= 0) return;
    // WAV samples are little-endian, as this machine's are.
    frames_ += static_cast<int64_t>(std::fwrite(interleaved, bytesPerFrame, frames, file_));
}

void WavWriter::WriteHeader() {
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
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, headerBytes, file_);
    std::fseek(file_, 0, SEEK_END);
}

void WavWriter::Close() {
    if (!file_) return;
    WriteHeader();
    std::fclose(file_);
    file_ = nullptr;
}

} // namespace capture
