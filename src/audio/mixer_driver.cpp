#include "mixer_driver.hpp"
#include "mixer.hpp"
#include "sound_decoder.hpp"
#include "sound_feed.hpp"

#include <algorithm>

namespace zandrel {

static_assert(SoundGroups == mix::Groups);

// The mixer plays little-endian frames only.
Ref<TSound> TMixerAudioDriver::CreateSound(const Ref<TAudioSample>& sample, SoundFlags flags) {
    if (!sample) return nullptr;
    Ref<TAudioSample> frames = sample;
    if (sample->Format() == SampleFormat::SampleMono16BE)
        frames = sample->Convert(SampleFormat::SampleMono16LE);
    if (sample->Format() == SampleFormat::SampleStereo16BE)
        frames = sample->Convert(SampleFormat::SampleStereo16LE);
    SampleFormat format = frames->Format();
    bool known = format >= SampleFormat{} && format <= SampleFormat::SampleStereo16BE;
    int channels = known ? ChannelsPerSample[format] : 0;
    if (!channels) return nullptr;
    int bits = BytesPerSample[format] * 8 / channels;
    MixerSample* mixerSample =
        MixerCreateSound(frames->Length(), bits, channels, frames->Hertz(), frames->Samples(),
                         flags & SoundFlags::Loop ? -1 : 0);
    if (!mixerSample) return nullptr;
    return TMixerSound::Create(mixerSample);
}

Ref<TSound> TMixerAudioDriver::CreateStream(const Ref<TStream>& stream, SoundFlags flags) {
    auto decoder = OpenSoundDecoder(stream);
    if (!decoder) return nullptr;
    MixerSample* sample = MixerCreateStream(std::move(decoder), flags & SoundFlags::Loop ? -1 : 0);
    if (!sample) return nullptr;
    return TMixerSound::Create(sample);
}

Ref<TChannel> TMixerAudioDriver::AllocChannel() {
    int handle = MixerAllocChannel();
    return handle ? TMixerChannel::Create(handle) : nullptr;
}

void TMixerAudioDriver::SetMasterVolume(float volume) {
    MixerSetMasterVolume(volume);
}

float TMixerAudioDriver::MasterVolume() {
    return MixerMasterVolume();
}

void TMixerAudioDriver::SetGroupVolume(int group, float volume) {
    MixerSetGroupVolume(group, volume);
}

float TMixerAudioDriver::GroupVolume(int group) {
    return MixerGroupVolume(group);
}

void TMixerAudioDriver::SetGroupPaused(int group, bool paused) {
    MixerSetGroupPaused(group, paused ? 1 : 0);
}

TMixerSound::~TMixerSound() {
    MixerFreeSound(sample_);
}

Ref<TMixerSound> TMixerSound::Create(MixerSample* sample) {
    return New<TMixerSound>(sample);
}

Ref<TChannel> TMixerSound::Play(const Ref<TChannel>& channel) {
    return Start(channel, false);
}

Ref<TChannel> TMixerSound::Cue(const Ref<TChannel>& channel) {
    return Start(channel, true);
}

// A channel of another driver starts nothing.
Ref<TChannel> TMixerSound::Start(const Ref<TChannel>& channel, bool paused) {
    int handle = 0;
    if (channel) {
        auto mixerChannel = As<TMixerChannel>(channel);
        if (!mixerChannel) return nullptr;
        handle = mixerChannel->Handle();
    }
    int result = MixerPlaySound(sample_, paused ? 1 : 0, handle);
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

void TMixerChannel::SetPaused(bool paused) {
    MixerSetChannelPaused(handle_, paused ? 1 : 0);
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

void TMixerChannel::SetGroup(int group) {
    MixerSetChannelGroup(handle_, group);
}

double TMixerChannel::Position() {
    int hertz = MixerChannelHertz(handle_);
    return hertz > 0 ? MixerChannelPosition(handle_) / hertz : 0.0;
}

// Positions are whole frames: the nearest one below.
void TMixerChannel::SetPosition(double seconds) {
    int hertz = MixerChannelHertz(handle_);
    if (hertz <= 0 || !(seconds >= 0)) seconds = 0;
    double frame = std::min(seconds * hertz, 9.0e18);
    if (hertz > 0) MixerSetChannelPosition(handle_, static_cast<int64_t>(frame));
}

// Playing once or looping, paused or not.
bool TMixerChannel::Playing() {
    return (MixerChannelStatus(handle_) & ~1) != 0;
}

} // namespace zandrel

namespace zandrel {

void StartOfflineMixer(int32_t (*clock)()) {
    MixerClose();
    SetMixerClock(clock);
    if (MixerInitOffline() != 0) throw RuntimeError("Unable to start the offline mixer");
    SetAudioDriver(New<TMixerAudioDriver>());
}

int RenderOfflineMixer(int16_t* out, int frames) {
    return MixerRender(out, frames);
}

int AudioUnderruns() {
    return MixerDeviceUnderruns();
}

int StreamUnderruns() {
    return mix::StreamUnderruns();
}

} // namespace zandrel
