#include "wave_out.hpp"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace zandrel::mix {

namespace {

// The device pulls from the looping buffer in its own thread; what it has
// taken is the play position. Only the audio subsystem is started here.
class SdlWaveOut final : public WaveOut {
public:
    SdlWaveOut(const int16_t* buffer, int values) : buffer_(buffer), values_(values) {}
    ~SdlWaveOut() override {
        if (device_) SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open(int rate, int channels) {
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        want.samples = 512;
        want.callback = &SdlWaveOut::Pull;
        want.userdata = this;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        return device_ != 0;
    }

    // The device lock is taken only here, when playback starts or stops,
    // never while the buffer is filled. The device runs from the first
    // write on, so its output starts with the buffer's first value.
    bool Write() override {
        SDL_LockAudioDevice(device_);
        playing_.store(true, std::memory_order_relaxed);
        SDL_UnlockAudioDevice(device_);
        SDL_PauseAudioDevice(device_, 0);
        return SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING;
    }

    void Reset() override {
        SDL_LockAudioDevice(device_);
        playing_.store(false, std::memory_order_relaxed);
        cursor_.store(0, std::memory_order_relaxed);
        written_.store(0, std::memory_order_relaxed);
        played_.store(0, std::memory_order_release);
        SDL_UnlockAudioDevice(device_);
    }

    int64_t Position() override {
        if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) return -1;
        return played_.load(std::memory_order_acquire);
    }

    void Publish(int64_t writtenValues) override {
        written_.store(writtenValues, std::memory_order_release);
    }

private:
    static void SDLCALL Pull(void* self, Uint8* stream, int bytes) {
        static_cast<SdlWaveOut*>(self)->Fill(reinterpret_cast<int16_t*>(stream), bytes / 2);
    }

    void Fill(int16_t* out, int count) {
        if (!playing_.load(std::memory_order_relaxed)) {
            std::memset(out, 0, static_cast<size_t>(count) * 2);
            return;
        }
        int64_t cursor = cursor_.load(std::memory_order_relaxed);
        int64_t ready = written_.load(std::memory_order_acquire) - cursor;
        int copied = static_cast<int>(std::clamp<int64_t>(ready, 0, count));
        for (int done = 0; done < copied;) {
            int at = static_cast<int>((cursor + done) % values_);
            int n = std::min(copied - done, values_ - at);
            std::memcpy(out + done, buffer_ + at, static_cast<size_t>(n) * 2);
            done += n;
        }
        std::memset(out + copied, 0, static_cast<size_t>(count - copied) * 2);
        cursor += count;
        cursor_.store(cursor, std::memory_order_relaxed);
        played_.store(cursor * 2, std::memory_order_release);
    }

    const int16_t* buffer_;
    int values_;
    SDL_AudioDeviceID device_ = 0;
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> cursor_{0};
    std::atomic<int64_t> played_{0};
    std::atomic<int64_t> written_{0};
};

} // namespace

void RaiseMixingThreadPriority() {
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
}

std::unique_ptr<WaveOut> OpenWaveOut(int rate, int channels, const int16_t* buffer, int values) {
    QuietSoundLibraryErrors();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    auto waveOut = std::make_unique<SdlWaveOut>(buffer, values);
    if (!waveOut->Open(rate, channels)) return nullptr;
    return waveOut;
}

} // namespace zandrel::mix
