#include "mixer_driver.hpp"
#include "sound_decoder.hpp"

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
void TChannel::SetGroup(int) {}
double TChannel::Position() {
    return 0.0;
}
void TChannel::SetPosition(double) {}

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

Ref<TSound> TSound::Stream(const Url& url, SoundFlags flags) {
    if (url.As<TAudioSample>()) return Load(url, flags);
    auto stream = OpenReadStream(url);
    if (!stream || !Current()) return nullptr;
    return Current()->CreateStream(stream, flags);
}

Ref<TSound> TAudioDriver::CreateStream(const Ref<TStream>& stream, SoundFlags) {
    return OpenSoundDecoder(stream) ? New<TSound>() : nullptr;
}

Ref<TSound> TAudioDriver::CreateSound(const Ref<TAudioSample>&, SoundFlags) {
    return New<TSound>();
}

Ref<TChannel> TAudioDriver::AllocChannel() {
    return New<TChannel>();
}

void TAudioDriver::SetMasterVolume(float) {}
float TAudioDriver::MasterVolume() {
    return 1.0f;
}
void TAudioDriver::SetGroupVolume(int, float) {}
float TAudioDriver::GroupVolume(int) {
    return 1.0f;
}
void TAudioDriver::SetGroupPaused(int, bool) {}

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

Ref<TSound> StreamSound(const Url& url, SoundFlags flags) {
    return TSound::Stream(url, flags);
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

void SetChannelGroup(const Ref<TChannel>& channel, int group) {
    if (channel) channel->SetGroup(group);
}

double ChannelPosition(const Ref<TChannel>& channel) {
    return channel ? channel->Position() : 0.0;
}

void SetChannelPosition(const Ref<TChannel>& channel, double seconds) {
    if (channel) channel->SetPosition(seconds);
}

void SetMasterVolume(float volume) {
    if (Current()) Current()->SetMasterVolume(volume);
}

float MasterVolume() {
    return Current() ? Current()->MasterVolume() : 1.0f;
}

void SetGroupVolume(int group, float volume) {
    if (Current()) Current()->SetGroupVolume(group, volume);
}

float GroupVolume(int group) {
    return Current() ? Current()->GroupVolume(group) : 1.0f;
}

void PauseGroup(int group) {
    if (Current()) Current()->SetGroupPaused(group, true);
}

void ResumeGroup(int group) {
    if (Current()) Current()->SetGroupPaused(group, false);
}

} // namespace zandrel
