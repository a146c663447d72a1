// The audio driver over the software mixer: sounds hold mixer samples,
// channels are handles of the mixer's channel table.
#pragma once

#include <zandrel/audio.hpp>

namespace zandrel {

struct MixerSample;

// Makes `open` run the first time the current driver is asked for, so that a
// program that never plays sound never opens (or probes for) a device; a
// driver set before then replaces it.
void DeferAudioDriver(void (*open)());

class TMixerAudioDriver : public TAudioDriver {
public:
    Ref<TSound> CreateSound(const Ref<TAudioSample>& sample, SoundFlags flags) override;
    Ref<TSound> CreateStream(const Ref<TStream>& stream, SoundFlags flags) override;
    Ref<TChannel> AllocChannel() override;
    void SetMasterVolume(float volume) override;
    float MasterVolume() override;
    void SetGroupVolume(int group, float volume) override;
    float GroupVolume(int group) override;
    void SetGroupPaused(int group, bool paused) override;
};

class TMixerSound : public TSound {
public:
    explicit TMixerSound(MixerSample* sample) : sample_(sample) {}
    ~TMixerSound() override;
    TMixerSound(const TMixerSound&) = delete;
    TMixerSound& operator=(const TMixerSound&) = delete;

    Ref<TChannel> Play(const Ref<TChannel>& channel) override;
    Ref<TChannel> Cue(const Ref<TChannel>& channel) override;

    MixerSample* Sample() const { return sample_; }
    // Takes over the caller's reference to the sample.
    static Ref<TMixerSound> Create(MixerSample* sample);

private:
    Ref<TChannel> Start(const Ref<TChannel>& channel, bool paused);

    MixerSample* sample_;
};

// Only a handle: dropping the object does not stop what plays on it.
class TMixerChannel : public TChannel {
public:
    explicit TMixerChannel(int handle) : handle_(handle) {}

    void Stop() override;
    void SetPaused(bool paused) override;
    void SetVolume(float volume) override;
    void SetPan(float pan) override;
    void SetDepth(float depth) override;
    void SetRate(float rate) override;
    bool Playing() override;
    void SetGroup(int group) override;
    double Position() override;
    void SetPosition(double seconds) override;

    int Handle() const { return handle_; }
    static Ref<TMixerChannel> Create(int handle);

private:
    int handle_;
};

} // namespace zandrel
