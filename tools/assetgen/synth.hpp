// Small building blocks for the music generator: band-limited oscillators,
// filters, deterministic noise and a stereo mix buffer.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace assetgen {

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

inline double NoteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Removes the aliasing step of a naive saw at its wrap point.
inline double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

class SawOscillator {
public:
    double Next(double frequency) {
        double dt = frequency / sampleRate;
        double value = 2.0 * phase_ - 1.0 - PolyBlep(phase_, dt);
        phase_ += dt;
        if (phase_ >= 1.0) phase_ -= 1.0;
        return value;
    }
    void SetPhase(double phase) { phase_ = phase; }

private:
    double phase_ = 0.0;
};

// A pulse as the difference of two saws half a cycle apart.
class SquareOscillator {
public:
    SquareOscillator() { second_.SetPhase(0.5); }
    double Next(double frequency) {
        return 0.5 * (first_.Next(frequency) - second_.Next(frequency));
    }

private:
    SawOscillator first_, second_;
};

class LowPass {
public:
    double Process(double input, double cutoff) {
        double a = 1.0 - std::exp(-2.0 * pi * cutoff / sampleRate);
        state_ += a * (input - state_);
        return state_;
    }

private:
    double state_ = 0.0;
};

// xorshift32: the same noise on every run.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1) {}
    double Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state_;
};

// Attack, hold at full level, release; time in seconds from the note start.
inline double Envelope(double t, double attack, double length, double release) {
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    if (t < length) return 1;
    double r = 1.0 - (t - length) / release;
    return r > 0 ? r : 0;
}

class StereoBuffer {
public:
    explicit StereoBuffer(double seconds)
        : frames_(static_cast<int>(seconds * sampleRate)), left_(frames_), right_(frames_) {}

    int Frames() const { return frames_; }
    // Adds a mono value at a pan position from -1 (left) to 1 (right).
    void Add(int frame, double value, double pan) {
        if (frame < 0 || frame >= frames_) return;
        left_[frame] += static_cast<float>(value * std::sqrt(0.5 * (1.0 - pan)));
        right_[frame] += static_cast<float>(value * std::sqrt(0.5 * (1.0 + pan)));
    }
    std::vector<float>& Left() { return left_; }
    std::vector<float>& Right() { return right_; }
    const std::vector<float>& Left() const { return left_; }
    const std::vector<float>& Right() const { return right_; }

private:
    int frames_;
    std::vector<float> left_, right_;
};

inline int FrameAt(double seconds) {
    return static_cast<int>(std::lround(seconds * sampleRate));
}

} // namespace assetgen
