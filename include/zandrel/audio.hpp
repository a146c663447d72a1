// Audio: sample buffers and their loaders (WAV, Ogg Vorbis), sounds and
// channels, and the drivers that play them (silent, or the software mixer).
#pragma once

#include <zandrel/stream.hpp>

namespace zandrel {

void StartAudioModule();

// ---------------------------------------------------------------------------
// Samples

// 16-bit formats are signed, 8-bit formats unsigned (silence is 128).
enum SampleFormat {
    SampleMono8 = 1,
    SampleMono16LE = 2,
    SampleMono16BE = 3,
    SampleStereo8 = 4,
    SampleStereo16LE = 5,
    SampleStereo16BE = 6,
};

// Indexed by format code 0-6 (0 is no valid format).
extern const int BytesPerSample[7];
extern const int ChannelsPerSample[7];

// Frames of PCM in one of the sample formats.
class TAudioSample : public Object {
public:
    TAudioSample() = default;
    ~TAudioSample() override;
    TAudioSample(const TAudioSample&) = delete;
    TAudioSample& operator=(const TAudioSample&) = delete;

    uint8_t* Samples() const { return samples_; }
    int Length() const { return length_; }
    int Hertz() const { return hertz_; }
    int Format() const { return format_; }
    int Capacity() const { return capacity_; } // bytes owned, -1 for borrowed memory

    // Owning copies: the same frames, or the frames in another format.
    Ref<TAudioSample> Copy() const;
    Ref<TAudioSample> Convert(int format) const;

    // Keeps the first `length` frames (no more than the sample has).
    void Truncate(int length);

    // Owns `length` frames of undefined contents.
    static Ref<TAudioSample> CreateAudioSample(int length, int hertz, int format);
    // Wraps frames that stay the caller's.
    static Ref<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz,
                                                     int format);

private:
    uint8_t* samples_ = nullptr;
    int length_ = 0;
    int hertz_ = 0;
    int format_ = 0;
    int capacity_ = -1;
};

Ref<TAudioSample> CreateAudioSample(int length, int hertz, int format);
Ref<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz, int format);

void CopySamples(const void* source, void* destination, int format, int count);
// Any format to any other through SampleStereo16BE; a format code outside 1-6
// raises "Unimplemented sample format conversion".
void ConvertSamples(const void* source, int sourceFormat, void* destination, int destinationFormat,
                    int count);

// A sample loader. Making one puts it at the front of the loader list, so the
// newest loader is asked first; it leaves the list when destroyed.
class TAudioSampleLoader : public Object, public Registered<TAudioSampleLoader> {
public:
    // No object when the data is not this loader's kind.
    virtual Ref<TAudioSample> LoadAudioSample(const Ref<TStream>& stream);
};

TAudioSampleLoader* FirstAudioSampleLoader();

// No object when the URL cannot be opened or no loader knows the data; a
// stream without a position raises "Stream is not seekable".
Ref<TAudioSample> LoadAudioSample(const Url& url);

// ---------------------------------------------------------------------------
// Sounds, channels and drivers

// Steers what plays on one channel. The base channel is silent.
class TChannel : public Object {
public:
    virtual void Stop();
    virtual void SetPaused(int paused);
    virtual void SetVolume(float volume); // 1.0 is the sample's own level
    virtual void SetPan(float pan);       // -1.0 left to 1.0 right
    virtual void SetDepth(float depth);   // below 0 inverts the right side
    virtual void SetRate(float rate);     // 1.0 is the sample's own speed
    virtual int Playing();                // 1 while playing or paused, else 0
};

// Something to play. The base sound is silent.
class TSound : public Object {
public:
    // Starts the sound on the channel, or on a free channel when none is given.
    virtual Ref<TChannel> Play(const Ref<TChannel>& channel);
    // As Play, but paused until the channel is resumed.
    virtual Ref<TChannel> Cue(const Ref<TChannel>& channel);

    // A sample object is used as it is; anything else is loaded through
    // LoadAudioSample. Non-zero flags make the sound loop.
    static Ref<TSound> Load(const Url& url, int flags);
};

// Makes sounds and channels. The base driver is silent.
class TAudioDriver : public Object {
public:
    virtual Ref<TSound> CreateSound(const Ref<TAudioSample>& sample, int flags);
    virtual Ref<TChannel> AllocChannel();
};

// The driver every function below uses: the silent one until the mixer's
// output device opens.
const Ref<TAudioDriver>& CurrentAudioDriver();
void SetAudioDriver(Ref<TAudioDriver> driver);

Ref<TSound> LoadSound(const Url& url, int flags);
Ref<TChannel> PlaySound(const Ref<TSound>& sound, const Ref<TChannel>& channel = nullptr);
Ref<TChannel> CueSound(const Ref<TSound>& sound, const Ref<TChannel>& channel = nullptr);
Ref<TChannel> AllocChannel();
void StopChannel(const Ref<TChannel>& channel);
int ChannelPlaying(const Ref<TChannel>& channel);
void SetChannelVolume(const Ref<TChannel>& channel, float volume);
void SetChannelPan(const Ref<TChannel>& channel, float pan);
void SetChannelDepth(const Ref<TChannel>& channel, float depth);
void SetChannelRate(const Ref<TChannel>& channel, float rate);
void PauseChannel(const Ref<TChannel>& channel);
void ResumeChannel(const Ref<TChannel>& channel);

// ---------------------------------------------------------------------------
// The software mixer's driver

struct MixerSample;

// Mixing without a device, in step with a clock of the caller's: replaces
// the running output with a mixer that mixes only when asked, and makes the
// mixer driver current. The clock stamps the sounds as they are played.
void StartOfflineMixer(int32_t (*clock)());
// Mixes `frames` stereo frames at 44100 Hz into `out`; the count mixed.
int RenderOfflineMixer(int16_t* out, int frames);

class TMixerAudioDriver : public TAudioDriver {
public:
    Ref<TSound> CreateSound(const Ref<TAudioSample>& sample, int flags) override;
    Ref<TChannel> AllocChannel() override;
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
    Ref<TChannel> Start(const Ref<TChannel>& channel, int paused);

    MixerSample* sample_;
};

// Only a handle: dropping the object does not stop what plays on it.
class TMixerChannel : public TChannel {
public:
    explicit TMixerChannel(int handle) : handle_(handle) {}

    void Stop() override;
    void SetPaused(int paused) override;
    void SetVolume(float volume) override;
    void SetPan(float pan) override;
    void SetDepth(float depth) override;
    void SetRate(float rate) override;
    int Playing() override;

    int Handle() const { return handle_; }
    static Ref<TMixerChannel> Create(int handle);

private:
    int handle_;
};

} // namespace zandrel
