#include "mixer.hpp"

#include <zandrel/audio.hpp>

namespace zandrel {

// The mixer plays little-endian frames only.
Ref<TSound> TMixerAudioDriver::CreateSound(const Ref<TAudioSample>& sample, int flags) {
    if (!sample) return nullptr;
    Ref<TAudioSample> frames = sample;
    if (sample->Format() == SampleMono16BE) frames = sample->Convert(SampleMono16LE);
    if (sample->Format() == SampleStereo16BE) frames = sample->Convert(SampleStereo16LE);
    int format = frames->Format();
    int channels = format >= 0 && format <= SampleStereo16BE ? ChannelsPerSample[format] : 0;
    if (!channels) return nullptr;
    int bits = BytesPerSample[format] * 8 / channels;
    MixerSample* mixerSample = MixerCreateSound(frames->Length(), bits, channels, frames->Hertz(),
                                                frames->Samples(), flags ? -1 : 0);
    if (!mixerSample) return nullptr;
    return TMixerSound::Create(mixerSample);
}

Ref<TChannel> TMixerAudioDriver::AllocChannel() {
    int handle = MixerAllocChannel();
    return handle ? TMixerChannel::Create(handle) : nullptr;
}

TMixerSound::~TMixerSound() {
    MixerFreeSound(sample_);
}

Ref<TMixerSound> TMixerSound::Create(MixerSample* sample) {
    return New<TMixerSound>(sample);
}

Ref<TChannel> TMixerSound::Play(const Ref<TChannel>& channel) {
    return Start(channel, 0);
}

Ref<TChannel> TMixerSound::Cue(const Ref<TChannel>& channel) {
    return Start(channel, 1);
}

// A channel of another driver starts nothing.
Ref<TChannel> TMixerSound::Start(const Ref<TChannel>& channel, int paused) {
    int handle = 0;
    if (channel) {
        auto mixerChannel = As<TMixerChannel>(channel);
        if (!mixerChannel) return nullptr;
        handle = mixerChannel->Handle();
    }
    int result = MixerPlaySound(sample_, paused, handle);
    if (!result) return nullptr;
    if (!channel || result != handle) return TMixerChannel::Create(result);
    return channel;
}

Ref<TMixerChannel> TMixerChannel::Create(int handle) {
    return New<TMixerChannel>(handle);
}

void TMixerChannel::Stop() {
    MixerStopChannel(handle_);
}

void TMixerChannel::SetPaused(int paused) {
    MixerSetChannelPaused(handle_, paused);
}

void TMixerChannel::SetVolume(float volume) {
    MixerSetChannelVolume(handle_, volume);
}

void TMixerChannel::SetPan(float pan) {
    MixerSetChannelPan(handle_, pan);
}

void TMixerChannel::SetDepth(float depth) {
    MixerSetChannelDepth(handle_, depth);
}

void TMixerChannel::SetRate(float rate) {
    MixerSetChannelRate(handle_, rate);
}

// Playing once or looping, paused or not.
int TMixerChannel::Playing() {
    return (MixerChannelStatus(handle_) & ~1) ? 1 : 0;
}

} // namespace zandrel

namespace zandrel {

void StartOfflineMixer(int32_t (*clock)()) {
    MixerClose();
    SetMixerClock(clock);
    if (MixerInitOffline() != 0) throw RuntimeError("Unable to start the offline mixer");
    SetAudioDriver(New<TMixerAudioDriver>());
}

int RenderOfflineMixer(int16_t* out, int frames) { return MixerRender(out, frames); }

} // namespace zandrel
