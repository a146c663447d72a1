// A 16-bit stereo WAV file written as it grows; the sizes go in at Close.
// Each call answers false when its bytes did not all reach the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace capture {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter() { Close(); }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path, int rate);
    bool Append(const int16_t* interleaved, int frames);
    bool Close();
    int64_t Frames() const { return frames_; }

private:
    bool WriteHeader();

    FILE* file_ = nullptr;
    int rate_ = 0;
    int64_t frames_ = 0;
};

} // namespace capture
