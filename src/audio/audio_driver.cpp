#include "mixer_driver.hpp"

#include <utility>

namespace zandrel {

namespace {

void (*deferredOpen)() = nullptr;

// Never destroyed, so that exit handlers can still reach it.
Ref<TAudioDriver>& Current() {
    static auto* driver = new Ref<TAudioDriver>;
    if (auto open = std::exchange(deferredOpen, nullptr)) open();
    return *driver;
}

} // namespace

void DeferAudioDriver(void (*open)()) {
    deferredOpen = open;
}

void TChannel::Stop() {}
void TChannel::SetPaused(bool) {}
void TChannel::SetVolume(float) {}
void TChannel::SetPan(float) {}
void TChannel::SetDepth(float) {}
void TChannel::SetRate(float) {}
bool TChannel::Playing() {
    return false;
}

Ref<TChannel> TSound::Play(const Ref<TChannel>&) {
    return New<TChannel>();
}

Ref<TChannel> TSound::Cue(const Ref<TChannel>&) {
    return New<TChannel>();
}

Ref<TSound> TSound::Load(const Url& url, SoundFlags flags) {
    auto sample = url.As<TAudioSample>();
    if (!sample) sample = LoadAudioSample(url);
    if (!sample || !Current()) return nullptr;
    return Current()->CreateSound(sample, flags);
}

Ref<TSound> TAudioDriver::CreateSound(const Ref<TAudioSample>&, SoundFlags) {
    return New<TSound>();
}

Ref<TChannel> TAudioDriver::AllocChannel() {
    return New<TChannel>();
}

const Ref<TAudioDriver>& CurrentAudioDriver() {
    return Current();
}

void SetAudioDriver(Ref<TAudioDriver> driver) {
    deferredOpen = nullptr;
    Current() = std::move(driver);
}

// No sound or no channel is a refusal, not a fault: nothing happens.
Ref<TSound> LoadSound(const Url& url, SoundFlags flags) {
    return TSound::Load(url, flags);
}

Ref<TChannel> PlaySound(const Ref<TSound>& sound, const Ref<TChannel>& channel) {
    return sound ? sound->Play(channel) : nullptr;
}

Ref<TChannel> CueSound(const Ref<TSound>& sound, const Ref<TChannel>& channel) {
    return sound ? sound->Cue(channel) : nullptr;
}

Ref<TChannel> AllocChannel() {
    return Current() ? Current()->AllocChannel() : nullptr;
}

void StopChannel(const Ref<TChannel>& channel) {
    if (channel) channel->Stop();
}

bool ChannelPlaying(const Ref<TChannel>& channel) {
    return channel && channel->Playing();
}

void SetChannelVolume(const Ref<TChannel>& channel, float volume) {
    if (channel) channel->SetVolume(volume);
}

void SetChannelPan(const Ref<TChannel>& channel, float pan) {
    if (channel) channel->SetPan(pan);
}

void SetChannelDepth(const Ref<TChannel>& channel, float depth) {
    if (channel) channel->SetDepth(depth);
}

void SetChannelRate(const Ref<TChannel>& channel, float rate) {
    if (channel) channel->SetRate(rate);
}

void PauseChannel(const Ref<TChannel>& channel) {
    if (channel) channel->SetPaused(true);
}

void ResumeChannel(const Ref<TChannel>& channel) {
    if (channel) channel->SetPaused(false);
}

} // namespace zandrel
