// The software mixer: voices summed into a 32-bit accumulator with 16.16
// rates, 4.12 volumes, pans and depths and 32.32 positions; the two lock-free
// rings that hand voices between the main thread and the mixer thread; and
// the plain-function API that the mixer audio driver calls.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace zandrel {

class SoundDecoder;

namespace mix {
class SoundFeed;
class sound;
} // namespace mix

// Frames copied for the mixer, shared by the sounds and voices that play them.
struct MixerSample {
    int hertz = 0;
    int channels = 0; // 1 or 2
    int bits = 0;     // 8 or 16
    int length = 0;   // frames
    int bytesPerFrame = 0;
    int byteSize = 0;
    int framesWritten = 0;
    std::atomic<int> references{1};
    bool loop = false;
    // byteSize plus one extra frame, so interpolation may read one frame past
    // any frame: a copy of the first frame when looping, else of the last.
    uint8_t* buffer = nullptr;
    uint8_t* writePointer = nullptr;
    // A streamed sound reads its frames here instead of the buffer, which it
    // does not have.
    std::shared_ptr<mix::SoundFeed> feed;
};

namespace mix {

// Output rate and block size of the mixer: 1024 interleaved stereo values.
constexpr int OutputRate = 44100;
constexpr int OutputChannels = 2;
constexpr int BlockValues = 1024;
constexpr int RingSlots = 4096;
// A voice queued at time q starts sounding at q + 20 ms of output.
constexpr int StartDelayMillisecs = 20;
constexpr int SeekEpochShift = 47;
constexpr int64_t SeekFrameMask = (int64_t{1} << SeekEpochShift) - 1;
// Groups of voices, each with a volume and a pause of its own.
constexpr int Groups = 16;

enum VoiceStatus {
    VoiceFree = 0,
    VoiceStopped = 1,
    VoicePlaying = 2,
    VoiceLooping = 4,
    VoicePaused = 0x10,
};

// The per-voice parameters. `which` 1 asks for the target, 0 for the current value.
class output {
public:
    virtual ~output() = default;
    virtual void SetRate(int rate) = 0;       // 16.16, 0x10000 is the sample's speed
    virtual void SetVolume(short volume) = 0; // 4.12, 4096 is 1.0
    virtual void SetPan(short pan) = 0;       // 4.12, -4096 left to 4096 right
    virtual void SetDepth(short depth) = 0;   // 4.12, below 0 inverts the right side
    virtual int GetRate(int which) = 0;
    virtual int GetVolume(int which) = 0;
    virtual int GetPan(int which) = 0;
    virtual int GetDepth(int which) = 0;
};

class mixer;

// One voice: a playing instance of a mixer sample. The main thread writes
// targets and status; the mixer thread reads them once per block and writes
// the current values, the position and the status. Each is one word.
class sound : public output {
public:
    explicit sound(mixer* owner) : owner(owner) {}

    void SetRate(int rate) override;
    void SetVolume(short volume) override;
    void SetPan(short pan) override;
    void SetDepth(short depth) override;
    int GetRate(int which) override;
    int GetVolume(int which) override;
    int GetPan(int which) override;
    int GetDepth(int which) override;

    bool IsPaused() const { return status.load(std::memory_order_relaxed) & VoicePaused; }
    // Both current and target values.
    void Reset(int rate, int volume, int pan, int depth);

    mixer* owner;
    std::atomic<int> status{VoiceStopped};
    int channel = 0;     // the handle it plays on; main thread only
    bool queued = false; // ever handed to the mixer; main thread only
    std::atomic<int> autoRelease{0};
    sound* next = nullptr; // mixer thread only
    MixerSample* sample = nullptr;
    uint64_t position = 0;                         // 32.32 frames
    std::atomic<int> rate[2] = {0x10000, 0x10000}; // [0] current, [1] target
    std::atomic<int> volume[2] = {4096, 4096};
    std::atomic<int> pan[2] = {0, 0};
    std::atomic<int> depth[2] = {0, 0};
    int32_t queuedTime = 0;
    int startDelay = 0; // output frames
    std::atomic<int> group{0};
    // The frame of the sample to move to before the next block, with the
    // epoch of a streamed sound's frames from there above SeekEpochShift; or -1.
    std::atomic<int64_t> seekTarget{-1};
    // Written by the mixer thread after each block for the main thread: the
    // 32.32 position in the sample, the step it moves by, and the output
    // frames mixed since the voice started or last moved.
    std::atomic<uint64_t> mixedPosition{0};
    std::atomic<uint64_t> mixedStep{0};
    std::atomic<int64_t> mixedSinceSeek{0};
    // What was last played on it; main thread only.
    int playedHertz = 0;
    int playedLength = 0;
    bool playedLoop = false;
    std::shared_ptr<SoundFeed> playedFeed; // kept, as the sample may be gone
};

// Single producer, single consumer: one thread pushes, the other pops.
class VoiceRing {
public:
    bool Full() const;
    bool Push(sound* voice); // false when full
    sound* Pop();            // null when empty

private:
    std::atomic<uint32_t> read_{0};
    std::atomic<uint32_t> write_{0};
    std::array<sound*, RingSlots> slots_{};
};

class mixer : public output {
public:
    explicit mixer(int blockValues = BlockValues);
    mixer(const mixer&) = delete;
    mixer& operator=(const mixer&) = delete;

    void SetRate(int) override {}
    void SetVolume(short) override {}
    void SetPan(short) override {}
    void SetDepth(short) override {}
    int GetRate(int) override { return 0x10000; }
    int GetVolume(int) override { return 4096; }
    int GetPan(int) override { return 0; }
    int GetDepth(int) override { return 0; }

    void SetFormat(int rate, int channels);
    int BlockLength() const { return blockLength_; }

    // Main thread.
    bool CanQueue() const { return !playQueue_.Full(); }
    bool Queue(sound* voice);
    sound* TakeFreeVoice() { return freeVoices_.Pop(); }

    // Mixer thread: adds `values` interleaved values (at most a block) of
    // every active voice into the accumulator, and turns them into 16-bit
    // output, clearing the accumulator behind.
    void MixBlock(int values);
    void ConvertBlock(int16_t* out, int values);
    const int32_t* Accumulator() const { return accumulator_.data(); }

    // With no mixer thread running: every voice still held is let go.
    void RecycleAll();

    // Main thread: 4.12 volumes, reached across the next block.
    void SetMasterVolume(int volume) { masterVolume_[1].store(volume, std::memory_order_relaxed); }
    int MasterVolume() const { return masterVolume_[1].load(std::memory_order_relaxed); }
    void SetGroupVolume(int group, int volume);
    int GroupVolume(int group) const;
    void SetGroupPaused(int group, bool paused);
    // Output frames mixed but not yet heard; the device sets it as it refills.
    void SetUnheardFrames(int frames) { unheard_.store(frames, std::memory_order_relaxed); }
    int UnheardFrames() const { return unheard_.load(std::memory_order_relaxed); }

private:
    void TakeQueuedVoices();
    int MixVoice(sound& voice, int32_t* accumulator, int values);
    void Recycle(sound** link);
    void ApplySeek(sound& voice);
    // 4.12 volume of the voice with its group and the master volume applied.
    int HeardVolume(int voiceVolume, int group, int which) const;

    std::vector<int32_t> accumulator_;
    int blockLength_;
    int outputRate_ = OutputRate;
    int outputChannels_ = OutputChannels;
    sound* active_ = nullptr;
    VoiceRing playQueue_;
    VoiceRing freeVoices_;
    // [0] current, [1] target, as for voices.
    std::atomic<int> masterVolume_[2] = {4096, 4096};
    std::array<std::atomic<int>, Groups> groupVolume_[2];
    std::atomic<uint32_t> pausedGroups_{0};
    std::atomic<int> unheard_{0};
};

class audiodevice {
public:
    virtual ~audiodevice() = default;
    virtual int Open() = 0; // 0 on success
    virtual void Close() = 0;
};

// Milliseconds that only count up (wrapping), for the start delay of voices.
using MixerClock = int32_t (*)();
int32_t MonotonicMillisecs();
int32_t MixerNow();

} // namespace mix

// The plain-function API (main thread; none of it throws).
int MixerInit();
void MixerClose();
MixerSample* MixerCreateSound(int length, int bits, int channels, int hertz, const void* frames,
                              int loop);
void MixerFreeSound(MixerSample* sample);
int MixerAllocChannel();
int MixerPlaySound(MixerSample* sample, int paused, int channel);
int MixerChannelStatus(int handle);
void MixerStopChannel(int handle);
void MixerSetChannelPaused(int handle, int paused);
void MixerSetChannelVolume(int handle, float volume);
void MixerSetChannelPan(int handle, float pan);
void MixerSetChannelDepth(int handle, float depth);
void MixerSetChannelRate(int handle, float rate);
// Groups outside 0 to mix::Groups - 1 are ignored; a channel keeps its group
// from sound to sound, as it keeps its volume.
void MixerSetChannelGroup(int handle, int group);
void MixerSetMasterVolume(float volume);
float MixerMasterVolume();
void MixerSetGroupVolume(int group, float volume);
float MixerGroupVolume(int group);
void MixerSetGroupPaused(int group, int paused);
// The channel's position as heard, in frames of its sample; -1 for a
// channel with nothing on it.
double MixerChannelPosition(int handle);
// Moves the sound on the channel to `frame` before its next block.
void MixerSetChannelPosition(int handle, int64_t frame);
// The frames per second of what plays on the channel; 0 for nothing.
int MixerChannelHertz(int handle);

// Running the mixer without a device, for tests and for rendering offline in
// step with a clock of the caller's: MixerInitOffline makes the mixer and its
// channels as MixerInit does but opens no output; MixerRender then mixes and
// converts `frames` stereo frames into `out` (nothing when a device runs).
int MixerInitOffline();
int MixerRender(int16_t* out, int frames);
// A sound decoded as it plays, from the decoder's first frame; null when the
// mixer is not running. The first stretch is decoded before it returns.
MixerSample* MixerCreateStream(std::unique_ptr<SoundDecoder> decoder, int loop);
// Decodes ahead for every streamed sound, where no thread does it (the
// offline mixer, benchmarks).
void MixerFillStreams();
// The clock that stamps queued voices and that the mixer compares them with;
// null restores the monotonic clock. Set it before voices are queued.
void SetMixerClock(mix::MixerClock clock);
// The running mixer, or null.
mix::mixer* MixerCore();
// The output device's write-ahead latency in blocks, and the frames it has
// played since playback last started; -1 without a device.
int MixerDeviceLatency();
int64_t MixerDevicePosition();
// The output device's underruns since it opened; 0 without a device.
int MixerDeviceUnderruns();

} // namespace zandrel
