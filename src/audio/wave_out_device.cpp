#include "wave_out_device.hpp"

#include <algorithm>
#include <cstdio>

namespace zandrel::mix {

namespace {
// Past this many bytes played (about 25 minutes) the position starts over.
constexpr int64_t MaxPositionBytes = 0x10000000;
constexpr int TickPeriodMs = 5;
} // namespace

waveoutdevice::~waveoutdevice() {
    Close();
}

int waveoutdevice::Open() {
    mixer_.SetFormat(OutputRate, OutputChannels);
    buffer_.assign(static_cast<size_t>(BufferBlocks) * blockLength_, 0);
    waveOut_ =
        OpenWaveOut(OutputRate, OutputChannels, buffer_.data(), static_cast<int>(buffer_.size()));
    if (!waveOut_) return -1;
    writePosition_ = 0;
    latency_ = InitialLatency;
    underruns_ = 0;
    active_ = true;
    Refill();
    WriteBuffer();
    ticks_ = StartRefillTicks([this] { Refill(); }, TickPeriodMs);
    return 0;
}

void waveoutdevice::Close() {
    active_ = false;
    ticks_.reset();
    if (waveOut_) waveOut_->Reset();
    waveOut_.reset();
    buffer_.clear();
}

int64_t waveoutdevice::PlayedFrames() const {
    if (!waveOut_) return -1;
    return waveOut_->Position() / (bytesPerValue_ * OutputChannels);
}

// A refused buffer is reported once, not on every tick until it is taken.
void waveoutdevice::WriteBuffer() {
    bool written = waveOut_->Write();
    if (!written && !writeFailed_) {
        std::fputs("waveOutWrite error\n", stdout);
        std::fflush(stdout);
    }
    writeFailed_ = !written;
}

void waveoutdevice::Refill() {
    if (!active_) return;
    int64_t played = waveOut_->Position();
    if (played < 0 || played > MaxPositionBytes) {
        Restart();
        return;
    }
    int64_t playPosition = played / bytesPerValue_;
    if (playPosition != 0 && writePosition_ < playPosition + 2 * blockLength_) {
        Underrun();
        return;
    }
    MixAhead(playPosition);
}

void waveoutdevice::Restart() {
    waveOut_->Reset();
    writePosition_ = 0;
    std::fill(buffer_.begin(), buffer_.end(), 0);
    waveOut_->Publish(writePosition_);
    WriteBuffer();
}

// The device has caught up with the mixed data and played silence for the
// missing part: start over at once with more data ahead of the device than
// before. The sound goes on where it stopped; the gap is only as long as the
// writer was late, not a fixed wait on top of it.
void waveoutdevice::Underrun() {
    underruns_.fetch_add(1, std::memory_order_relaxed);
    waveOut_->Reset();
    std::fill(buffer_.begin(), buffer_.end(), 0);
    latency_ = std::min(latency_.load() + 2, MaxLatency);
    writePosition_ = 0;
    MixAhead(0);
    WriteBuffer();
}

void waveoutdevice::MixAhead(int64_t playPosition) {
    while (writePosition_ < playPosition + int64_t{latency_.load()} * blockLength_) {
        int64_t block = writePosition_ / blockLength_ % BufferBlocks;
        mixer_.MixBlock(blockLength_);
        mixer_.ConvertBlock(buffer_.data() + block * blockLength_, blockLength_);
        writePosition_ += blockLength_;
    }
    mixer_.SetUnheardFrames(static_cast<int>((writePosition_ - playPosition) / OutputChannels));
    waveOut_->Publish(writePosition_);
}

} // namespace zandrel::mix
