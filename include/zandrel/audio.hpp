// Audio: sample buffers and their loaders (WAV, Ogg Vorbis, FLAC through
// libFLAC and MP3 through libmpg123), sounds loaded whole or streamed,
// channels, sound groups and a master volume, and the drivers that play them
// (silent, or the software mixer on the sound device). Extension points:
// sample loaders (TAudioSampleLoader) and audio drivers (TAudioDriver).
// StartAudioModule() registers the loaders (StartZandrel() calls it); the
// mixer opens the sound device when a program first asks for the audio
// driver, and a machine without one stays silent without a word. Threads:
// main thread only; the mixer mixes on a thread of its own and streamed
// sounds are decoded on another, which programs never touch.
#pragma once

#include <zandrel/stream.hpp>

namespace zandrel {

// Registers the sample loaders (WAV, Ogg, FLAC, MP3, asked in that order)
// and starts with the silent driver; the mixer's replaces it when the driver
// is first asked for and the device opens. Later calls do nothing.
void StartAudioModule();

// ---------------------------------------------------------------------------
// Samples

// 16-bit formats are signed, 8-bit formats unsigned (silence is 128).
enum class SampleFormat : int {
    SampleMono8 = 1,
    SampleMono16LE = 2,
    SampleMono16BE = 3,
    SampleStereo8 = 4,
    SampleStereo16LE = 5,
    SampleStereo16BE = 6,
};

// Indexed by format, 0 (no valid format) to SampleStereo16BE.
using SampleFormatTable = EnumTable<SampleFormat, 7>;
// Bytes in one frame of each format.
inline constexpr SampleFormatTable BytesPerSample{{0, 1, 2, 2, 2, 4, 4}};
// Channels in one frame of each format: 1 mono, 2 stereo.
inline constexpr SampleFormatTable ChannelsPerSample{{0, 1, 1, 1, 2, 2, 2}};

// Frames of PCM in one of the sample formats.
class TAudioSample : public Object {
public:
    TAudioSample() = default;
    ~TAudioSample() override;
    TAudioSample(const TAudioSample&) = delete;
    TAudioSample& operator=(const TAudioSample&) = delete;

    uint8_t* Samples() const { return samples_; }   // the first frame; channels interleaved
    int Length() const { return length_; }          // in frames
    int Hertz() const { return hertz_; }            // frames per second
    SampleFormat Format() const { return format_; } // how each frame is stored
    int Capacity() const { return capacity_; }      // bytes owned, -1 for borrowed memory

    // An owning copy of the same frames. Throws RuntimeError as
    // CreateAudioSample.
    Ref<TAudioSample> Copy() const;
    // An owning copy of the frames converted to `format`. Throws RuntimeError
    // as CreateAudioSample and ConvertSamples.
    Ref<TAudioSample> Convert(SampleFormat format) const;

    // Makes the sample `length` frames long, keeping the frames both lengths
    // share; an owning sample's buffer is reallocated to fit exactly, so its
    // Capacity() follows. Throws RuntimeError as CreateAudioSample, and for
    // growing a sample over borrowed memory.
    void Resize(int length);

    // Owns `length` frames of undefined contents. Throws RuntimeError for a
    // negative length, a format outside the table or when the memory cannot
    // be had.
    static Ref<TAudioSample> CreateAudioSample(int length, int hertz, SampleFormat format);
    // Wraps frames that stay the caller's. Throws RuntimeError as above.
    static Ref<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz,
                                                     SampleFormat format);

private:
    uint8_t* samples_ = nullptr;
    int length_ = 0;
    int hertz_ = 0;
    SampleFormat format_{};
    int capacity_ = -1;
};

// TAudioSample::CreateAudioSample, which throws the same.
Ref<TAudioSample> CreateAudioSample(int length, int hertz, SampleFormat format);
// A sample over the caller's `samples`, which it neither copies nor frees: they must outlive it.
Ref<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz,
                                          SampleFormat format);

// Copies `count` frames of one format; nothing for a count below 1 or a
// format outside the table.
void CopySamples(const void* source, void* destination, SampleFormat format, int count);
// Any format to any other through SampleStereo16BE. Throws RuntimeError
// "Unimplemented sample format conversion" for a format outside the six.
void ConvertSamples(const void* source, SampleFormat sourceFormat, void* destination,
                    SampleFormat destinationFormat, int count);

// A sample loader. Making one puts it at the front of the loader list, so the
// newest loader is asked first; it leaves the list when destroyed.
class TAudioSampleLoader : public Object, public Registered<TAudioSampleLoader> {
public:
    // No object when the data is not this loader's kind. The base throws
    // RuntimeError "Attempt to call abstract method".
    virtual Ref<TAudioSample> LoadAudioSample(const Ref<TStream>& stream);
};

// The newest loader, the first LoadAudioSample asks; follow Next for the rest.
TAudioSampleLoader* FirstAudioSampleLoader();

// No object when the URL cannot be opened or no loader knows the data.
// Throws RuntimeError "Stream is not seekable" for a stream without a position.
Ref<TAudioSample> LoadAudioSample(const Url& url);

// ---------------------------------------------------------------------------
// Sounds, channels and drivers

// Steers what plays on one channel. The base channel is silent.
class TChannel : public Object {
public:
    virtual void Stop();                  // ends what plays on the channel
    virtual void SetPaused(bool paused);  // false resumes
    virtual void SetVolume(float volume); // 1.0 is the sample's own level
    virtual void SetPan(float pan);       // -1.0 left to 1.0 right
    virtual void SetDepth(float depth);   // below 0 inverts the right side
    virtual void SetRate(float rate);     // 1.0 is the sample's own speed
    virtual bool Playing();               // true while playing or paused
    // Puts the channel in a group (0 to SoundGroups - 1; others are
    // ignored); it stays there for the sounds played on it later.
    virtual void SetGroup(int group);
    // Seconds into its sound that the listener hears now, to within one
    // mixer block (11.6 ms); 0 for a channel with nothing on it.
    virtual double Position();
    // Moves the sound on the channel to `seconds` into it (a looping sound
    // wraps, a sound played once is held at its end); on a cued channel it
    // starts there when resumed.
    virtual void SetPosition(double seconds);
};

// How LoadSound makes a sound: NoFlags plays it once, Loop over and over.
enum class SoundFlags : int { NoFlags = 0, Loop = 1 };
ZANDREL_FLAG_SET(SoundFlags);

// Something to play. The base sound is silent.
class TSound : public Object {
public:
    // Starts the sound on the channel, or on a free channel when none is given.
    virtual Ref<TChannel> Play(const Ref<TChannel>& channel);
    // As Play, but paused until the channel is resumed.
    virtual Ref<TChannel> Cue(const Ref<TChannel>& channel);

    // A sample object is used as it is; anything else is loaded through
    // LoadAudioSample. SoundFlags::Loop makes the sound loop. No object when
    // there is no sample.
    static Ref<TSound> Load(const Url& url, SoundFlags flags);
    // A sound decoded while it plays; see StreamSound. Throws RuntimeError
    // "Stream is not seekable" for a stream without a position.
    static Ref<TSound> Stream(const Url& url, SoundFlags flags);
};

// Makes sounds and channels. The base driver is silent.
class TAudioDriver : public Object {
public:
    // A sound of the sample (SoundFlags::Loop loops it); no object for no
    // sample or a format the driver cannot play. The base's sound is silent.
    virtual Ref<TSound> CreateSound(const Ref<TAudioSample>& sample, SoundFlags flags);
    // A sound decoded from `stream` as it plays (the sound keeps the stream
    // and reads it from the thread that decodes); no object when no decoder
    // knows the data (LastLoadError says why). The base's sound is silent.
    virtual Ref<TSound> CreateStream(const Ref<TStream>& stream, SoundFlags flags);
    // A channel to play on; no object when the driver has none free. The base's
    // channel is silent.
    virtual Ref<TChannel> AllocChannel();
    // The volume of all output, 1.0 as the channels are. The base's is 1.0.
    virtual void SetMasterVolume(float volume);
    // The master volume last set.
    virtual float MasterVolume();
    // The volume of every channel in the group, on top of its own.
    virtual void SetGroupVolume(int group, float volume);
    // The group's volume last set; 0 for a group outside the range.
    virtual float GroupVolume(int group);
    // Holds or resumes every channel of the group at once; a channel's own
    // pause stays as it was.
    virtual void SetGroupPaused(int group, bool paused);
};

// The driver every function below uses: the mixer's once its output device
// has opened (on the first call after StartAudioModule), else the silent one.
const Ref<TAudioDriver>& CurrentAudioDriver();
// Makes `driver` the one the sound and channel functions use.
void SetAudioDriver(Ref<TAudioDriver> driver);

// The methods of TSound, TAudioDriver (the current one) and TChannel as free
// functions. No sound, no channel or no driver is no error: the calls do
// nothing and give no object, or false.
// `url` names a WAV, Ogg Vorbis, FLAC or MP3 file (or is a sample, stream
// or bank); FLAC and MP3 are 16-bit once loaded (wider FLAC keeps its top
// 16 bits);
// `flags` SoundFlags::Loop makes the sound loop, NoFlags plays it once. No
// object when nothing loads (LastLoadError says why).
Ref<TSound> LoadSound(const Url& url, SoundFlags flags = SoundFlags::NoFlags);
// As LoadSound, but the sound is decoded while it plays, a little ahead of
// the mixer (about 1.5 s), instead of whole before: for music and other long
// sounds. Reads WAV, Ogg Vorbis, FLAC and MP3. The file stays open
// while the sound lives. It plays with every channel control (volume, pan,
// depth, rate, pause, position, group), its rate held where it would step
// more than 8 of its frames per output frame (rate x its Hertz / 44100 > 8);
// SoundFlags::Loop loops it without a gap, the frame after the last being
// the first. One channel at a time plays it: playing it again
// stops it where it played before. Decoding runs on a thread of its own (at
// the program's turns in the browser, in RenderOfflineMixer offline), never
// on the thread that mixes: a stream that stalls is heard as silence, counted
// by StreamUnderruns, and goes on where it stopped. Throws RuntimeError
// "Stream is not seekable" for a stream without a position.
Ref<TSound> StreamSound(const Url& url, SoundFlags flags = SoundFlags::NoFlags);
// Starts `sound` on `channel`, or on a free channel when none is given; the channel it plays on.
Ref<TChannel> PlaySound(const Ref<TSound>& sound, const Ref<TChannel>& channel = nullptr);
// As PlaySound, but paused until ResumeChannel.
Ref<TChannel> CueSound(const Ref<TSound>& sound, const Ref<TChannel>& channel = nullptr);
// A free channel of the current driver; no object when it has none.
Ref<TChannel> AllocChannel();
// Ends what plays on the channel.
void StopChannel(const Ref<TChannel>& channel);
// True while the channel plays or is paused.
bool ChannelPlaying(const Ref<TChannel>& channel);
// `volume` 1.0 is the sample's own level, 0 silence.
void SetChannelVolume(const Ref<TChannel>& channel, float volume);
// `pan` -1.0 is left, 0 the centre, 1.0 right.
void SetChannelPan(const Ref<TChannel>& channel, float pan);
// `depth` below 0 inverts the right side.
void SetChannelDepth(const Ref<TChannel>& channel, float depth);
// `rate` 1.0 is the sample's own speed, 2.0 twice as fast.
void SetChannelRate(const Ref<TChannel>& channel, float rate);
// Holds the channel where it is until ResumeChannel.
void PauseChannel(const Ref<TChannel>& channel);
// Goes on playing a paused or cued channel.
void ResumeChannel(const Ref<TChannel>& channel);

// Sound groups: every channel is in one, group 0 until SetChannelGroup moves
// it. A program picks its own meaning for the numbers (music in 1, effects
// in 0). Group and master volume changes ramp across one mixer block, as a
// channel's own volume does, so they do not click.
inline constexpr int SoundGroups = 16;

// Moves the channel into `group` (0 to SoundGroups - 1).
void SetChannelGroup(const Ref<TChannel>& channel, int group);
// Seconds into its sound that are heard now, to within one mixer block.
double ChannelPosition(const Ref<TChannel>& channel);
// Moves what plays on the channel to `seconds` into the sound. To start a
// sound part way in: CueSound, SetChannelPosition, ResumeChannel.
void SetChannelPosition(const Ref<TChannel>& channel, double seconds);
// The volume of all output of the current driver, 1.0 unchanged, 0 silence.
void SetMasterVolume(float volume);
// The master volume last set (1.0 at start).
float MasterVolume();
// The volume of every channel in `group`, multiplied with the channel's own.
void SetGroupVolume(int group, float volume);
// The group's volume last set (1.0 at start).
float GroupVolume(int group);
// Holds every channel of the group where it is until ResumeGroup.
void PauseGroup(int group);
// Goes on playing the group's channels that are not paused on their own.
void ResumeGroup(int group);

// The times the sound device has run dry since the mixer opened it (0 while
// none is open): each is a gap in the output as long as the mixing thread
// was late, after which the mixer keeps more sound ahead of the device. Any
// thread.
int AudioUnderruns();

// Mixer blocks in which a streamed sound found its frames not decoded yet
// (each 11.6 ms of silence in that sound) since the mixer started. Any thread.
int StreamUnderruns();

// ---------------------------------------------------------------------------
// Mixing without a device

// Mixing in step with a clock of the caller's (a capture that renders a
// program frame by frame): replaces the running output with a mixer that
// mixes only when asked, and makes the mixer driver current. The clock stamps
// the sounds as they are played; sounds streamed before the call stay silent,
// so stream them after it. Throws RuntimeError when the mixer cannot start.
void StartOfflineMixer(int32_t (*clock)());
// Mixes `frames` stereo frames at 44100 Hz into `out`, decoding ahead for
// streamed sounds first; the count mixed.
int RenderOfflineMixer(int16_t* out, int frames);

} // namespace zandrel
