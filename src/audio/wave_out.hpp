// The platform's audio output, seen as a wave-out device that plays one
// looping buffer of interleaved signed 16-bit values over and over.
#pragma once

#include <cstdint>
#include <memory>

namespace zandrel::mix {

class WaveOut {
public:
    virtual ~WaveOut() = default;
    // Plays the buffer from its first value, looping; false when the device
    // refuses.
    virtual bool Write() = 0;
    // Stops playing and puts the position back to 0.
    virtual void Reset() = 0;
    // Bytes played since the last Write, or -1 when the device cannot tell.
    virtual int64_t Position() = 0;
    // Tells the device how far, in values counted like the position, the
    // buffer holds what it should play. Past that it plays silence rather
    // than a stale pass of the loop, and never reads values being written.
    virtual void Publish(int64_t writtenValues) = 0;
};

// Asks the system to run the calling thread (the one that mixes ahead of the
// device) before ordinary work, as the device's own thread is run; nothing
// happens where the system refuses.
void RaiseMixingThreadPriority();

// Keeps the probe errors of the platform's sound library off standard error
// before the device is first opened: a machine without a sound card is no
// error here. Nothing to do where there is no such library.
void QuietSoundLibraryErrors();

// The default output device at `rate` frames a second, playing `buffer`
// (which must outlive it); null when there is no device.
std::unique_ptr<WaveOut> OpenWaveOut(int rate, int channels, const int16_t* buffer, int values);

} // namespace zandrel::mix
