#include "sound_feed.hpp"
#include "wave_out_device.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace zandrel {

namespace {

using mix::sound;
constexpr auto relaxed = std::memory_order_relaxed;

// Handles are index | generation: the index in the low 12 bits, the
// generation (a multiple of 4096) above. Index 0 is the free-list head.
class ChannelTable {
public:
    static constexpr int Slots = 4096;
    static constexpr uint32_t IndexMask = Slots - 1;

    ChannelTable() {
        for (int i = 0; i < Slots; ++i) {
            link_[i] = i + 1 < Slots ? i + 1 : 0;
            generation_[i] = Slots;
        }
    }

    int Allocate() {
        int index = link_[0];
        if (!index) return 0;
        link_[0] = link_[index];
        link_[index] = Allocated;
        uint32_t generation = generation_[index];
        // Wraps before the handle would turn negative.
        generation_[index] = generation >= 0x7FFFF000u ? Slots : generation + Slots;
        return static_cast<int>(generation_[index] | static_cast<uint32_t>(index));
    }

    void Free(int index) {
        voice_[index] = nullptr;
        link_[index] = link_[0];
        link_[0] = index;
    }

    // The index of a handle that is current and allocated, else 0.
    int Find(int handle) const {
        if (handle <= 0) return 0;
        auto index = static_cast<int>(static_cast<uint32_t>(handle) & IndexMask);
        bool current = link_[index] == Allocated &&
                       generation_[index] == (static_cast<uint32_t>(handle) & ~IndexMask);
        return index && current ? index : 0;
    }

    sound*& Voice(int index) { return voice_[index]; }

private:
    static constexpr int Allocated = -1;

    std::array<sound*, Slots> voice_{};
    std::array<int, Slots> link_{};
    std::array<uint32_t, Slots> generation_{};
};

struct MixerState {
    ~MixerState() { Close(); }

    void Close() {
        if (!core) return;
        decodeTicks.reset();
        if (device) device->Close();
        device.reset();
        core->RecycleAll();
        feeds.Clear();
        // A streamed sound may outlive the mixer; its voices do not.
        for (auto& voice : voices)
            if (voice->playedFeed) voice->playedFeed->streamVoice = nullptr;
        channels.reset();
        spareVoices.clear();
        voices.clear();
        core.reset();
    }

    std::unique_ptr<mix::mixer> core;
    std::unique_ptr<mix::waveoutdevice> device;
    std::unique_ptr<ChannelTable> channels;
    std::vector<std::unique_ptr<sound>> voices; // every voice made; they live until close
    std::vector<sound*> spareVoices;            // never queued, and off their channel
    mix::FeedList feeds;
    std::unique_ptr<mix::RefillTicks> decodeTicks; // once a device runs and a sound streams
};

// At namespace scope, so that it outlives the exit handlers that close it.
MixerState state;
std::atomic<mix::MixerClock> clockSource{nullptr};

constexpr int DefaultRate = 0x10000, DefaultVolume = 4096;

// The voice a handle names; a channel with none yet gets a default voice
// that only carries its settings until something is played on it.
sound* VoiceOn(int handle) {
    if (!state.channels) return nullptr;
    int index = state.channels->Find(handle);
    if (!index) return nullptr;
    sound*& voice = state.channels->Voice(index);
    if (!voice) {
        state.voices.push_back(std::make_unique<sound>(state.core.get()));
        voice = state.voices.back().get();
    }
    return voice;
}

// Any status but free becomes stopped.
void StopVoice(sound& voice) {
    int status = voice.status.load(relaxed);
    while (status != mix::VoiceFree &&
           !voice.status.compare_exchange_weak(status, mix::VoiceStopped, relaxed)) {
    }
}

// A voice that a new one replaces on its channel: it stops, and with the
// auto-release flag the mixer recycles it instead of keeping it forever.
void Supersede(sound& voice) {
    voice.autoRelease.store(1, relaxed);
    voice.channel = 0;
    StopVoice(voice);
    if (!voice.queued) state.spareVoices.push_back(&voice);
}

// A recycled voice that still holds the channel it played on gives it back.
void ReleaseChannelOf(sound& voice) {
    int index = state.channels->Find(voice.channel);
    if (index && state.channels->Voice(index) == &voice) state.channels->Free(index);
    voice.channel = 0;
}

sound* TakeVoice() {
    if (sound* voice = state.core->TakeFreeVoice()) {
        ReleaseChannelOf(*voice);
        return voice;
    }
    if (!state.spareVoices.empty()) {
        sound* voice = state.spareVoices.back();
        state.spareVoices.pop_back();
        return voice;
    }
    state.voices.push_back(std::make_unique<sound>(state.core.get()));
    return state.voices.back().get();
}

// A 4.12 word; magnitudes it cannot hold are clamped to its ends.
short ToFixed412(float value) {
    if (std::isnan(value)) return 0;
    double fixed = std::clamp(static_cast<double>(value) * 4096.0, -32768.0, 32767.0);
    return static_cast<short>(fixed);
}

// A 16.16 rate; the mixer does not play backwards, so it stops at 0.
int ToFixed1616(float value) {
    if (std::isnan(value)) return 0;
    return static_cast<int>(std::clamp(static_cast<double>(value) * 65536.0, 0.0, double{INT_MAX}));
}

// A streamed sound has one decoder: the voice that played it before stops,
// and the new one starts from the first frame unless it is moved.
void StartStreamVoice(mix::SoundFeed& feed, sound& voice) {
    sound* before = feed.streamVoice;
    if (before && before != &voice && before->playedFeed.get() == &feed) StopVoice(*before);
    feed.streamVoice = &voice;
    int64_t epoch = feed.RequestMove(0);
    voice.seekTarget.store(epoch << mix::SeekEpochShift, std::memory_order_release);
}

// A frame within the sound: a loop wraps, a sound played once stops at its end.
int64_t FrameWithin(const sound& voice, int64_t frame) {
    int length = voice.playedLength;
    if (voice.playedLoop && length > 0) return frame % length;
    if (length > 0 || !voice.playedFeed) return std::min<int64_t>(frame, length);
    return std::min(frame, mix::SeekFrameMask);
}

} // namespace

namespace mix {

int32_t MixerNow() {
    MixerClock clock = clockSource.load(relaxed);
    return clock ? clock() : MonotonicMillisecs();
}

} // namespace mix

int MixerInit() {
    if (state.core) return state.device ? 0 : -1;
    auto core = std::make_unique<mix::mixer>();
    auto device = std::make_unique<mix::waveoutdevice>(*core);
    if (device->Open() != 0) {
        device->Close();
        return -1;
    }
    state.core = std::move(core);
    state.device = std::move(device);
    state.channels = std::make_unique<ChannelTable>();
    mix::ResetStreamUnderruns();
    return 0;
}

void MixerClose() {
    state.Close();
}

int MixerInitOffline() {
    if (state.core) return state.device ? -1 : 0;
    state.core = std::make_unique<mix::mixer>();
    state.channels = std::make_unique<ChannelTable>();
    mix::ResetStreamUnderruns();
    return 0;
}

int MixerRender(int16_t* out, int frames) {
    if (!state.core || state.device) return -1;
    int blockFrames = state.core->BlockLength() / mix::OutputChannels;
    while (frames > 0) {
        int values = std::min(frames, blockFrames) * mix::OutputChannels;
        state.feeds.FillAll();
        state.core->MixBlock(values);
        state.core->ConvertBlock(out, values);
        out += values;
        frames -= values / mix::OutputChannels;
    }
    return 0;
}

void SetMixerClock(mix::MixerClock clock) {
    clockSource.store(clock, relaxed);
}

mix::mixer* MixerCore() {
    return state.core.get();
}

int MixerDeviceLatency() {
    return state.device ? state.device->Latency() : -1;
}

int64_t MixerDevicePosition() {
    return state.device ? state.device->PlayedFrames() : -1;
}

int MixerDeviceUnderruns() {
    return state.device ? state.device->Underruns() : 0;
}

MixerSample* MixerCreateSound(int length, int bits, int channels, int hertz, const void* frames,
                              int loop) {
    if (!state.core) return nullptr;
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2) || length < 0 || hertz <= 0)
        return nullptr;
    int frameBytes = channels * bits / 8;
    if (length > INT_MAX / frameBytes - 1) return nullptr;
    auto* sample = new (std::nothrow) MixerSample;
    if (!sample) return nullptr;
    sample->byteSize = length * frameBytes;
    sample->buffer =
        static_cast<uint8_t*>(std::malloc(static_cast<size_t>(sample->byteSize) + frameBytes));
    if (!sample->buffer) {
        delete sample;
        return nullptr;
    }
    sample->hertz = hertz;
    sample->channels = channels;
    sample->bits = bits;
    sample->length = length;
    sample->bytesPerFrame = frameBytes;
    sample->loop = loop != 0;
    int silence = bits == 8 ? 128 : 0;
    if (frames)
        std::memcpy(sample->buffer, frames, static_cast<size_t>(sample->byteSize));
    else
        std::memset(sample->buffer, silence, static_cast<size_t>(sample->byteSize));
    sample->framesWritten = frames ? length : 0;
    sample->writePointer = sample->buffer + static_cast<size_t>(sample->framesWritten) * frameBytes;
    uint8_t* extra = sample->buffer + sample->byteSize;
    if (length == 0)
        std::memset(extra, silence, static_cast<size_t>(frameBytes));
    else
        std::memcpy(extra, sample->loop ? sample->buffer : extra - frameBytes,
                    static_cast<size_t>(frameBytes));
    return sample;
}

// Decoding ahead runs every 10 ms: the ring holds about 1.5 s, so a stream
// that stalls for less than that is not heard at all.
MixerSample* MixerCreateStream(std::unique_ptr<SoundDecoder> decoder, int loop) {
    if (!state.core || !decoder) return nullptr;
    int channels = decoder->Channels();
    if ((channels != 1 && channels != 2) || decoder->Hertz() <= 0) return nullptr;
    auto feed = std::make_shared<mix::SoundFeed>(std::move(decoder), loop != 0);
    feed->Fill();
    auto* sample = new MixerSample;
    sample->hertz = feed->Hertz();
    sample->channels = channels;
    sample->bits = 16;
    sample->length = static_cast<int>(std::clamp<int64_t>(feed->Length(), 0, INT_MAX));
    sample->bytesPerFrame = 2 * channels;
    sample->loop = loop != 0;
    sample->feed = feed;
    state.feeds.Add(std::move(feed));
    if (state.device && !state.decodeTicks)
        state.decodeTicks =
            mix::StartRefillTicks([] { state.feeds.FillAll(); }, 10, mix::TickPriority::Ordinary);
    return sample;
}

void MixerFillStreams() {
    state.feeds.FillAll();
}

void MixerFreeSound(MixerSample* sample) {
    if (!sample) return;
    if (sample->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    std::free(sample->buffer);
    delete sample;
}

int MixerAllocChannel() {
    return state.channels ? state.channels->Allocate() : 0;
}

// A stale handle (its index since given to another channel) does not take
// that channel over: the sound gets a channel of its own, as if none were given.
int MixerPlaySound(MixerSample* sample, int paused, int channel) {
    if (!state.core || !sample) return channel;
    if (!state.core->CanQueue()) return 0;
    sound* previous = channel ? VoiceOn(channel) : nullptr;
    int handle = previous ? channel : 0;
    int rate = DefaultRate, volume = DefaultVolume, pan = 0, depth = 0, group = 0;
    if (previous) {
        rate = previous->GetRate(1);
        volume = previous->GetVolume(1);
        pan = previous->GetPan(1);
        depth = previous->GetDepth(1);
        group = previous->group.load(relaxed);
        Supersede(*previous);
    }
    sound* voice = TakeVoice();
    if (!handle) handle = MixerAllocChannel();

    voice->Reset(rate, volume, pan, depth);
    int status = sample->loop ? mix::VoiceLooping : mix::VoicePlaying;
    voice->status.store(status | (paused ? mix::VoicePaused : 0), relaxed);
    voice->autoRelease.store(previous ? 0 : 1, relaxed);
    sample->references.fetch_add(1, relaxed);
    voice->sample = sample;
    voice->position = 0;
    voice->group.store(group, relaxed);
    voice->seekTarget.store(-1, relaxed);
    voice->mixedPosition.store(0, relaxed);
    voice->mixedStep.store(0, relaxed);
    voice->mixedSinceSeek.store(0, relaxed);
    voice->playedHertz = sample->hertz;
    voice->playedLength = sample->length;
    voice->playedLoop = sample->loop;
    voice->playedFeed = sample->feed;
    if (sample->feed) StartStreamVoice(*sample->feed, *voice);
    voice->startDelay = 0;
    voice->queuedTime = mix::MixerNow();
    voice->channel = handle;
    voice->queued = true;
    state.core->Queue(voice);
    if (handle) state.channels->Voice(state.channels->Find(handle)) = voice;
    return handle;
}

int MixerChannelStatus(int handle) {
    sound* voice = VoiceOn(handle);
    return voice ? voice->status.load(relaxed) : 0;
}

void MixerStopChannel(int handle) {
    if (sound* voice = VoiceOn(handle)) {
        voice->autoRelease.store(1, relaxed);
        StopVoice(*voice);
    }
}

// Only a playing voice can pause: a paused voice that had already stopped
// would count as playing and would never be recycled.
void MixerSetChannelPaused(int handle, int paused) {
    sound* voice = VoiceOn(handle);
    if (!voice) return;
    if (!paused) {
        voice->status.fetch_and(~mix::VoicePaused, relaxed);
        return;
    }
    int status = voice->status.load(relaxed);
    while ((status & (mix::VoicePlaying | mix::VoiceLooping)) &&
           !voice->status.compare_exchange_weak(status, status | mix::VoicePaused, relaxed)) {
    }
}

void MixerSetChannelVolume(int handle, float volume) {
    if (sound* voice = VoiceOn(handle)) voice->SetVolume(ToFixed412(volume));
}

void MixerSetChannelPan(int handle, float pan) {
    if (sound* voice = VoiceOn(handle)) voice->SetPan(ToFixed412(pan));
}

void MixerSetChannelDepth(int handle, float depth) {
    if (sound* voice = VoiceOn(handle)) voice->SetDepth(ToFixed412(depth));
}

void MixerSetChannelRate(int handle, float rate) {
    if (sound* voice = VoiceOn(handle)) voice->SetRate(ToFixed1616(rate));
}

void MixerSetChannelGroup(int handle, int group) {
    if (group < 0 || group >= mix::Groups) return;
    if (sound* voice = VoiceOn(handle)) voice->group.store(group, relaxed);
}

void MixerSetMasterVolume(float volume) {
    if (state.core) state.core->SetMasterVolume(ToFixed412(volume));
}

float MixerMasterVolume() {
    return state.core ? static_cast<float>(state.core->MasterVolume()) / 4096.0f : 0.0f;
}

void MixerSetGroupVolume(int group, float volume) {
    if (state.core) state.core->SetGroupVolume(group, ToFixed412(volume));
}

float MixerGroupVolume(int group) {
    return state.core ? static_cast<float>(state.core->GroupVolume(group)) / 4096.0f : 0.0f;
}

void MixerSetGroupPaused(int group, int paused) {
    if (state.core) state.core->SetGroupPaused(group, paused != 0);
}

// The mixer is ahead of the ear by the sound the device has not played yet,
// and never further back than the voice's last start or move.
double MixerChannelPosition(int handle) {
    sound* voice = VoiceOn(handle);
    if (!voice || voice->playedHertz <= 0) return -1;
    int length = voice->playedLength;
    int64_t target = voice->seekTarget.load(relaxed);
    if (target >= 0) return static_cast<double>(target & mix::SeekFrameMask);
    int64_t unheard =
        std::min<int64_t>(state.core->UnheardFrames(), voice->mixedSinceSeek.load(relaxed));
    double frames = (static_cast<double>(voice->mixedPosition.load(relaxed)) -
                     static_cast<double>(voice->mixedStep.load(relaxed)) * unheard) /
                    4294967296.0;
    if (frames >= 0) return frames;
    return voice->playedLoop && length > 0 ? std::fmod(frames, length) + length : 0.0;
}

// A streamed sound's decoder is sent there at once, so that it is decoding
// from there by the time the mixer moves the voice.
void MixerSetChannelPosition(int handle, int64_t frame) {
    sound* voice = VoiceOn(handle);
    if (!voice || voice->playedHertz <= 0) return;
    frame = FrameWithin(*voice, std::max<int64_t>(frame, 0));
    int64_t epoch = 0;
    if (voice->playedFeed && voice->playedFeed->streamVoice == voice)
        epoch = voice->playedFeed->RequestMove(frame);
    voice->seekTarget.store(epoch << mix::SeekEpochShift | frame, std::memory_order_release);
}

int MixerChannelHertz(int handle) {
    sound* voice = VoiceOn(handle);
    return voice ? voice->playedHertz : 0;
}

} // namespace zandrel
