// The mixer's output device: a refill tick that keeps a looping buffer of 32
// blocks mixed ahead of what the device has played.
#pragma once

#include "mixer.hpp"
#include "refill_ticks.hpp"
#include "wave_out.hpp"

#include <atomic>
#include <memory>

namespace zandrel::mix {

class waveoutdevice : public audiodevice {
public:
    static constexpr int BufferBlocks = 32;
    static constexpr int InitialLatency = 6;
    static constexpr int MaxLatency = 11;

    explicit waveoutdevice(mixer& core) : mixer_(core) {}
    ~waveoutdevice() override;

    int Open() override;
    void Close() override;

    // One tick of the refill timer.
    void Refill();
    int Latency() const { return latency_.load(std::memory_order_relaxed); }
    // Frames the device has played since playback last started.
    int64_t PlayedFrames() const;
    // Times the device has caught up with the mixed sound since it opened.
    int Underruns() const { return underruns_.load(std::memory_order_relaxed); }

private:
    void WriteBuffer();
    void Restart();
    void Underrun();
    void MixAhead(int64_t playPosition);

    mixer& mixer_;
    std::unique_ptr<WaveOut> waveOut_;
    int blockLength_ = BlockValues;
    int bytesPerValue_ = 2;
    std::vector<int16_t> buffer_;
    std::atomic<bool> active_{false};
    int64_t writePosition_ = 0;                // values since playback started
    std::atomic<int> latency_{InitialLatency}; // blocks
    std::atomic<int> underruns_{0};
    bool writeFailed_ = false;
    std::unique_ptr<RefillTicks> ticks_;
};

} // namespace zandrel::mix
