// A streamed sound's frames on their way from the decoder to the mixer: a
// ring that the decoding side fills ahead and the mixer reads behind, with
// nothing locked between them. Frames are counted from the last start or
// move (the epoch's origin), looping frames as they come, so the frame after
// the last is the first. The decoding side runs on a thread of its own, or at
// the page's turns, or in the offline render before each block: never on the
// thread that mixes, which only ever finds frames there or misses them.
#pragma once

#include "mix_kernels.hpp"
#include "mixer.hpp"
#include "sound_decoder.hpp"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace zandrel::mix {

class sound;

class SoundFeed {
public:
    // The decoder at its first frame. `loop` starts it over at its end.
    SoundFeed(std::unique_ptr<SoundDecoder> decoder, bool loop);

    int Channels() const { return channels_; }
    int Hertz() const { return hertz_; }
    int64_t Length() const { return length_; }

    // Decoding side: decodes until the ring is full, the sound has ended or a
    // move is asked for. May block as long as the stream does.
    void Fill();

    // Main thread: asks the decoding side to go on from `frame` of the sound,
    // and gives the epoch that its frames will carry. Frame 0 on a feed that
    // was never moved keeps what was decoded ahead of the first play.
    uint32_t RequestMove(int64_t frame);
    // Mixer side: reads the frames of `epoch`, counted from `frame`; until
    // the decoding side has got there, Window finds nothing, and that is no
    // underrun.
    void Adopt(uint32_t epoch, int64_t frame);
    // Points `cursor` at a copy of the frames that `frames` steps of up to
    // `maxStep` from `position` (32.32, counted from the origin) read, the
    // frame after the last included. False when they are not all decoded yet.
    enum class Found { Ready, Moving, Short };
    Found Window(uint64_t position, uint64_t maxStep, int frames, Cursor& cursor);
    // Lets the decoder reuse what lies before the frame the cursor reached;
    // the new position counted from the origin.
    uint64_t Release(uint64_t position, const Cursor& cursor);
    // The 32.32 position in the sound of a position counted from the origin.
    uint64_t SoundPosition(uint64_t position) const;

    // One voice plays the feed at a time, the last started; main thread only.
    sound* streamVoice = nullptr;

    static constexpr int RingFrames = 1 << 16;
    // The most frames a streamed voice steps per output frame, and the most
    // frames one block reads, with the one after for interpolation.
    static constexpr uint64_t MaxStep = uint64_t{8} << 32;
    static constexpr int64_t WindowFrames = (MaxStep * (BlockValues / OutputChannels) >> 32) + 4;

private:
    // Epoch in the top 16 bits, the end flag below it, frames written below that.
    static constexpr int EpochShift = 48;
    static constexpr uint64_t EndedBit = uint64_t{1} << 47;
    static constexpr uint64_t WrittenMask = EndedBit - 1;
    void Publish();
    bool Rewind();

    std::unique_ptr<SoundDecoder> decoder_;
    int channels_;
    int hertz_;
    int64_t length_;
    bool loop_;
    std::vector<int16_t> ring_;
    std::vector<int16_t> window_; // mixer side only

    // Frames are placed in the ring by a count that runs on across epochs.
    // The decoding side writes the epoch above EpochShift and the frames of
    // it written; the mixer side, the count up to which it has read.
    static constexpr int EpochStarts = 16;
    std::atomic<uint64_t> filled_{0};
    std::atomic<int64_t> released_{0};
    // Where each recent epoch's first frame is in the count.
    std::array<std::atomic<int64_t>, EpochStarts> epochStarts_{};
    std::atomic<uint32_t> moveEpoch_{0};
    std::atomic<int64_t> moveFrame_{0};

    // Decoding side only.
    uint32_t fillEpoch_ = 0;
    int64_t ringStart_ = 0;
    int64_t written_ = 0;
    bool ended_ = false;
    int64_t sinceRewind_ = 0;

    // Mixer side only.
    uint32_t readEpoch_ = 0;
    int64_t readStart_ = 0;
    int64_t origin_ = 0;

    // Main thread only.
    uint32_t requestEpoch_ = 0;
    bool moved_ = false;
};

// The feeds the decoding side keeps filled. Main thread adds; the decoding
// side fills them and drops those that no sample holds any more.
class FeedList {
public:
    void Add(std::shared_ptr<SoundFeed> feed);
    void FillAll();
    void Clear();

private:
    std::mutex lock_;
    std::vector<std::shared_ptr<SoundFeed>> feeds_;
    std::vector<std::shared_ptr<SoundFeed>> filling_; // decoding side only
};

// Blocks in which a streamed voice found its frames not yet decoded, since
// the mixer started. Any thread.
int StreamUnderruns();
void CountStreamUnderrun();
void ResetStreamUnderruns();

} // namespace zandrel::mix
