#include "mix_kernels.hpp"
#include "mixer.hpp"
#include "sound_feed.hpp"

#include <algorithm>
#include <climits>

namespace zandrel::mix {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

// 32.32 frames of the sample per output frame. Far beyond any useful speed
// the step is capped, so that positions never overflow.
uint64_t StepFor(int rate, int hertz, int outputRate) {
    constexpr uint64_t maxStep = uint64_t{1} << 52;
    if (rate <= 0 || hertz <= 0) return 0;
    uint64_t product = static_cast<uint64_t>(rate) * static_cast<uint64_t>(hertz);
    uint64_t whole = product / static_cast<uint64_t>(outputRate);
    uint64_t rest = product % static_cast<uint64_t>(outputRate);
    if (whole >= maxStep >> 16) return maxStep;
    return (whole << 16) + (rest << 16) / static_cast<uint64_t>(outputRate);
}

int StartDelayFrames(int32_t queuedTime, int32_t now, int outputRate) {
    auto elapsed =
        static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(queuedTime));
    int64_t wait = int64_t{StartDelayMillisecs} - elapsed;
    if (wait <= 0) return 0;
    return static_cast<int>(std::min<int64_t>(wait * outputRate / 1000, INT_MAX));
}

} // namespace

void sound::SetRate(int value) {
    rate[1].store(value, relaxed);
    if (IsPaused()) rate[0].store(value, relaxed);
}
void sound::SetVolume(short value) {
    volume[1].store(value, relaxed);
    if (IsPaused()) volume[0].store(value, relaxed);
}
void sound::SetPan(short value) {
    pan[1].store(value, relaxed);
    if (IsPaused()) pan[0].store(value, relaxed);
}
void sound::SetDepth(short value) {
    depth[1].store(value, relaxed);
}
int sound::GetRate(int which) {
    return rate[which ? 1 : 0].load(relaxed);
}
int sound::GetVolume(int which) {
    return volume[which ? 1 : 0].load(relaxed);
}
int sound::GetPan(int which) {
    return pan[which ? 1 : 0].load(relaxed);
}
int sound::GetDepth(int which) {
    return depth[which ? 1 : 0].load(relaxed);
}

void sound::Reset(int rateValue, int volumeValue, int panValue, int depthValue) {
    for (int which = 0; which < 2; ++which) {
        rate[which].store(rateValue, relaxed);
        volume[which].store(volumeValue, relaxed);
        pan[which].store(panValue, relaxed);
        depth[which].store(depthValue, relaxed);
    }
}

bool VoiceRing::Full() const {
    return (write_.load(relaxed) + 1) % RingSlots == read_.load(std::memory_order_acquire);
}

bool VoiceRing::Push(sound* voice) {
    uint32_t write = write_.load(relaxed);
    uint32_t next = (write + 1) % RingSlots;
    if (next == read_.load(std::memory_order_acquire)) return false;
    slots_[write] = voice;
    write_.store(next, std::memory_order_release);
    return true;
}

sound* VoiceRing::Pop() {
    uint32_t read = read_.load(relaxed);
    if (read == write_.load(std::memory_order_acquire)) return nullptr;
    sound* voice = slots_[read];
    read_.store((read + 1) % RingSlots, std::memory_order_release);
    return voice;
}

mixer::mixer(int blockValues)
    : accumulator_(static_cast<size_t>(blockValues), 0), blockLength_(blockValues) {
    for (auto& volumes : groupVolume_)
        for (auto& volume : volumes)
            volume.store(4096, relaxed);
}

void mixer::SetGroupVolume(int group, int volume) {
    if (group >= 0 && group < Groups) groupVolume_[1][group].store(volume, relaxed);
}

int mixer::GroupVolume(int group) const {
    return group >= 0 && group < Groups ? groupVolume_[1][group].load(relaxed) : 0;
}

void mixer::SetGroupPaused(int group, bool paused) {
    if (group < 0 || group >= Groups) return;
    uint32_t bit = uint32_t{1} << group;
    if (paused)
        pausedGroups_.fetch_or(bit, relaxed);
    else
        pausedGroups_.fetch_and(~bit, relaxed);
}

// Three 4.12 factors make a 4.36 product: back to 4.12, held to what a
// voice's own volume may be.
int mixer::HeardVolume(int voiceVolume, int group, int which) const {
    int64_t product = int64_t{voiceVolume} * groupVolume_[which][group].load(relaxed) *
                      masterVolume_[which].load(relaxed);
    return static_cast<int>(std::clamp<int64_t>(product / (4096 * 4096), -32768, 32767));
}

void mixer::SetFormat(int rate, int channels) {
    outputRate_ = rate;
    outputChannels_ = channels;
}

bool mixer::Queue(sound* voice) {
    return playQueue_.Push(voice);
}

void mixer::TakeQueuedVoices() {
    int32_t now = MixerNow();
    while (sound* voice = playQueue_.Pop()) {
        voice->startDelay = StartDelayFrames(voice->queuedTime, now, outputRate_);
        voice->next = active_;
        active_ = voice;
    }
}

void mixer::MixBlock(int values) {
    values = std::clamp(values, 0, blockLength_);
    values -= values % outputChannels_;
    TakeQueuedVoices();
    for (sound** link = &active_; *link;) {
        sound* voice = *link;
        int result = MixVoice(*voice, accumulator_.data(), values);
        // With the free ring full the voice waits for the next block.
        if (result == -1 && !freeVoices_.Full()) {
            Recycle(link);
            continue;
        }
        if (result == 1)
            voice->status.store(voice->autoRelease.load(relaxed) ? VoiceFree : VoiceStopped,
                                relaxed);
        link = &voice->next;
    }
    masterVolume_[0].store(masterVolume_[1].load(relaxed), relaxed);
    for (int group = 0; group < Groups; ++group)
        groupVolume_[0][group].store(groupVolume_[1][group].load(relaxed), relaxed);
}

// A move is taken whatever the voice's state, so that a cued or paused voice
// starts from where it was put. The main thread has already brought the
// frame within the sound.
void mixer::ApplySeek(sound& voice) {
    int64_t target = voice.seekTarget.exchange(-1, std::memory_order_acquire);
    if (target < 0 || !voice.sample) return;
    int64_t frame = target & SeekFrameMask;
    voice.position = static_cast<uint64_t>(frame) << 32;
    voice.mixedPosition.store(voice.position, relaxed);
    voice.mixedSinceSeek.store(0, relaxed);
    if (SoundFeed* feed = voice.sample->feed.get()) {
        feed->Adopt(static_cast<uint32_t>(target >> SeekEpochShift), frame);
        voice.position = 0;
    }
}

void mixer::Recycle(sound** link) {
    sound* voice = *link;
    *link = voice->next;
    voice->next = nullptr;
    MixerFreeSound(voice->sample);
    voice->sample = nullptr;
    freeVoices_.Push(voice);
}

// 0 keeps the voice, -2 keeps it paused, 1 means it has finished, -1 that it
// is free to be recycled.
int mixer::MixVoice(sound& voice, int32_t* accumulator, int values) {
    int frames = values / outputChannels_;
    int status = voice.status.load(relaxed);
    if (status == VoiceStopped) return 1;
    if (status == VoiceFree) return -1;
    ApplySeek(voice);
    int group = std::clamp(voice.group.load(relaxed), 0, Groups - 1);
    if (status & VoicePaused || pausedGroups_.load(relaxed) >> group & 1) return -2;
    if (voice.startDelay >= frames) {
        voice.startDelay -= frames;
        return 0;
    }
    accumulator += voice.startDelay * outputChannels_;
    frames -= voice.startDelay;
    voice.startDelay = 0;

    const MixerSample& sample = *voice.sample;
    int ownVolume = voice.volume[1].load(relaxed);
    int volumeNow = HeardVolume(voice.volume[0].load(relaxed), group, 0);
    int volumeTarget = HeardVolume(ownVolume, group, 1);
    int rateTarget = voice.rate[1].load(relaxed);
    int pan = voice.pan[1].load(relaxed), depth = voice.depth[1].load(relaxed);
    uint64_t stepNow = StepFor(voice.rate[0].load(relaxed), sample.hertz, outputRate_);
    uint64_t stepTarget = StepFor(rateTarget, sample.hertz, outputRate_);
    Cursor cursor{sample.buffer, voice.position, static_cast<uint64_t>(sample.length) << 32,
                  sample.loop};
    SoundFeed* feed = sample.feed.get();
    if (feed) {
        // What is not decoded yet is silence; the voice waits where it is.
        stepNow = std::min(stepNow, SoundFeed::MaxStep);
        stepTarget = std::min(stepTarget, SoundFeed::MaxStep);
        auto found = feed->Window(voice.position, std::max(stepNow, stepTarget), frames, cursor);
        if (found == SoundFeed::Found::Short) CountStreamUnderrun();
        if (found != SoundFeed::Found::Ready) return 0;
    }

    bool ended;
    if (volumeNow == volumeTarget && stepNow == stepTarget) {
        if (volumeTarget == 0)
            ended = SkipFrames(cursor, stepTarget, frames);
        else
            ended = SteadyMixerFor(sample.bits, sample.channels)(
                cursor, stepTarget, GainsFor(volumeTarget, pan, depth), accumulator, frames);
    } else {
        Ramp ramp{volumeNow * 256,
                  frames ? (volumeTarget - volumeNow) * 256 / frames : 0,
                  static_cast<int64_t>(stepNow),
                  frames
                      ? (static_cast<int64_t>(stepTarget) - static_cast<int64_t>(stepNow)) / frames
                      : 0,
                  pan,
                  depth};
        ended = RampMixerFor(sample.bits, sample.channels)(cursor, ramp, accumulator, frames);
    }
    voice.position = feed ? feed->Release(voice.position, cursor) : cursor.position;
    voice.mixedPosition.store(feed ? feed->SoundPosition(voice.position) : voice.position, relaxed);
    voice.mixedStep.store(stepTarget, relaxed);
    voice.mixedSinceSeek.store(voice.mixedSinceSeek.load(relaxed) + frames, relaxed);
    voice.rate[0].store(rateTarget, relaxed);
    voice.volume[0].store(ownVolume, relaxed);
    voice.pan[0].store(pan, relaxed);
    voice.depth[0].store(depth, relaxed);
    return ended ? 1 : 0;
}

void mixer::ConvertBlock(int16_t* out, int values) {
    values = std::clamp(values, 0, blockLength_);
    for (int i = 0; i < values; ++i) {
        out[i] = static_cast<int16_t>(std::clamp(accumulator_[i] >> 4, -32768, 32767));
        accumulator_[i] = 0;
    }
}

void mixer::RecycleAll() {
    TakeQueuedVoices();
    while (active_) {
        sound* voice = active_;
        active_ = voice->next;
        voice->next = nullptr;
        MixerFreeSound(voice->sample);
        voice->sample = nullptr;
    }
    while (freeVoices_.Pop()) {
    }
}

} // namespace zandrel::mix
