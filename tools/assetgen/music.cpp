#include "music.hpp"

#include <algorithm>
#include <array>

namespace assetgen {

namespace {

constexpr double barSeconds = 2.0;
constexpr double stepSeconds = barSeconds / 16; // a sixteenth note

// What plays from `start` until the next section begins.
struct Section {
    double start;
    int drums;       // 0 none, 1 hats, 2 half-time, 3 four to the floor, 4 busy
    int bass;        // 0 none, 1 quarters, 2 driving eighths
    int progression; // index into progressions
    int lead;        // 0 none, 1 motif A, 2 motif B, 3 motif B an octave up
    int roll;        // snare roll: 0 none, 2 eighths, 4 sixteenths, 5 rising sixteenths
};

const Section sections[] = {
    {0, 0, 0, 0, 0, 0},   {4, 1, 1, 0, 0, 0},   {20, 0, 0, 1, 1, 0},  {28, 2, 1, 0, 0, 0},
    {36, 3, 1, 0, 0, 0},  {44, 3, 1, 0, 1, 0},  {52, 4, 2, 2, 2, 0},  {59, 3, 2, 2, 1, 0},
    {68, 4, 2, 0, 2, 0},  {84, 0, 0, 1, 1, 0},  {92, 4, 2, 0, 2, 0},  {108, 3, 1, 1, 1, 0},
    {116, 2, 1, 0, 0, 2}, {120, 2, 2, 0, 0, 4}, {122, 0, 2, 0, 0, 5}, {124, 4, 2, 0, 3, 0},
    {140, 1, 1, 0, 1, 0}, {150, 0, 0, 1, 1, 0},
};

const Section& SectionAt(double seconds) {
    const Section* found = &sections[0];
    for (const auto& section : sections)
        if (section.start <= seconds + 1e-9) found = &section;
    return *found;
}

struct Chord {
    int bassRoot;             // MIDI note of the bass
    std::array<int, 3> tones; // pad voicing, around middle C
};

const Chord Am{45, {57, 60, 64}}, F{41, {57, 60, 65}}, C{48, {55, 60, 64}}, G{43, {55, 59, 62}},
    Dm{38, {57, 62, 65}}, E{40, {56, 59, 64}};

const std::array<std::array<Chord, 4>, 3> progressions = {{
    {Am, F, C, G},
    {F, G, Am, Am},
    {Dm, Am, E, Am},
}};

const Chord& ChordAt(double seconds) {
    int bar = static_cast<int>(seconds / barSeconds);
    return progressions[SectionAt(seconds).progression][bar % 4];
}

// --- Drums ------------------------------------------------------------------

void Kick(StereoBuffer& out, double start, double velocity) {
    double phase = 0;
    int first = FrameAt(start);
    for (int i = 0; i < FrameAt(0.4); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double frequency = 48 + 110 * std::exp(-t * 28);
        phase += 2 * pi * frequency / sampleRate;
        double click = i < 40 ? (1.0 - i / 40.0) * 0.3 : 0.0;
        out.Add(first + i, velocity * (std::sin(phase) * std::exp(-t * 7) + click), 0);
    }
}

void Snare(StereoBuffer& out, double start, double velocity, uint32_t seed) {
    Noise noise(seed);
    LowPass body, tone;
    double phase = 0;
    int first = FrameAt(start);
    for (int i = 0; i < FrameAt(0.25); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        phase += 2 * pi * 185 / sampleRate;
        double n = noise.Next();
        double bright = n - body.Process(n, 1500);
        double value = bright * std::exp(-t * 16) * 0.6 + std::sin(phase) * std::exp(-t * 30) * 0.5;
        out.Add(first + i, velocity * tone.Process(value, 9000), 0.1);
    }
}

void HiHat(StereoBuffer& out, double start, double velocity, bool open, uint32_t seed) {
    Noise noise(seed);
    LowPass low;
    int first = FrameAt(start);
    double decay = open ? 11 : 55;
    for (int i = 0; i < FrameAt(open ? 0.3 : 0.08); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double n = noise.Next();
        double high = n - low.Process(n, 7000);
        out.Add(first + i, velocity * high * std::exp(-t * decay), -0.3);
    }
}

void Riser(StereoBuffer& out, double start, double end) {
    Noise noise(0x51CE);
    LowPass filter;
    int first = FrameAt(start), last = FrameAt(end);
    for (int i = first; i < last; ++i) {
        double x = static_cast<double>(i - first) / (last - first);
        out.Add(i, filter.Process(noise.Next(), 400 + 7000 * x * x) * 0.25 * x, 0);
    }
}

void DrumStep(StereoBuffer& out, const Section& section, double time, int step, uint32_t seed) {
    int level = section.drums;
    if (level >= 1 && step % 2 == 0) HiHat(out, time, level == 1 ? 0.10 : 0.14, false, seed);
    if (level >= 4 && step % 2 == 1) HiHat(out, time, 0.07, false, seed + 1);
    if (level >= 3 && step % 4 == 2) HiHat(out, time, 0.10, true, seed + 2);
    bool kick = (level == 2 && step % 8 == 0) || (level >= 3 && step % 4 == 0) ||
                (level >= 4 && step == 14);
    if (kick) Kick(out, time, 0.9);
    if (level >= 3 && step % 8 == 4) Snare(out, time, 0.55, seed + 3);
    if (level >= 4 && step == 15) Snare(out, time, 0.18, seed + 4);

    int roll = section.roll;
    bool rollHit = (roll == 2 && step % 2 == 0) || roll >= 4;
    if (rollHit) {
        double rise = roll == 5 ? 0.25 + 0.5 * (time - section.start) / 2.0 : 0.35;
        Snare(out, time, rise, seed + 5);
    }
}

// --- Pitched parts -----------------------------------------------------------

void Bass(StereoBuffer& out, double start, double length, int note) {
    SawOscillator saw;
    LowPass filter, smooth;
    double frequency = NoteFrequency(note);
    int first = FrameAt(start);
    for (int i = 0; i < FrameAt(length + 0.05); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double cutoff = 180 + 1400 * std::exp(-t * 14);
        double value = filter.Process(saw.Next(frequency), cutoff);
        out.Add(first + i, 0.55 * smooth.Process(value, 2000) * Envelope(t, 0.005, length, 0.05),
                0);
    }
}

void BassBar(StereoBuffer& out, const Section& section, double barStart) {
    int root = ChordAt(barStart).bassRoot;
    if (section.bass == 1) {
        for (int beat = 0; beat < 4; ++beat)
            Bass(out, barStart + beat * 0.5, 0.4, root);
    } else if (section.bass == 2) {
        static const int octave[8] = {0, 0, 12, 0, 0, 12, 0, 7};
        for (int eighth = 0; eighth < 8; ++eighth)
            Bass(out, barStart + eighth * 0.25, 0.2, root + octave[eighth]);
    }
}

void PadBar(StereoBuffer& out, double barStart) {
    const Chord& chord = ChordAt(barStart);
    const double pans[3] = {-0.45, 0.0, 0.45};
    for (int n = 0; n < 3; ++n) {
        SawOscillator low, high;
        high.SetPhase(0.37 * (n + 1));
        LowPass filter, second;
        double frequency = NoteFrequency(chord.tones[n]);
        int first = FrameAt(barStart);
        for (int i = 0; i < FrameAt(barSeconds + 0.6); ++i) {
            double t = static_cast<double>(i) / sampleRate;
            double time = barStart + t;
            double cutoff = 900 + 500 * std::sin(2 * pi * time / 16.0);
            double detuned = low.Next(frequency * 0.9965) + high.Next(frequency * 1.0035);
            double value = second.Process(filter.Process(detuned, cutoff), cutoff * 1.5);
            out.Add(first + i, 0.06 * value * Envelope(t, 0.35, barSeconds - 0.1, 0.6), pans[n]);
        }
    }
}

void Lead(StereoBuffer& out, double start, double length, int note, double level) {
    SquareOscillator square;
    SawOscillator saw;
    LowPass filter;
    double base = NoteFrequency(note);
    int first = FrameAt(start);
    for (int i = 0; i < FrameAt(length + 0.1); ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double vibrato = t > 0.15 ? 0.004 * std::sin(2 * pi * 5.5 * t) : 0.0;
        double frequency = base * (1.0 + vibrato);
        double value =
            filter.Process(0.6 * square.Next(frequency) + 0.4 * saw.Next(frequency), 3200);
        double shaped = level * value * Envelope(t, 0.01, length, 0.08);
        out.Add(first + i, shaped, 0.15);
        // Two echoes, a dotted eighth apart, to either side.
        out.Add(first + i + FrameAt(0.375), shaped * 0.4, -0.6);
        out.Add(first + i + FrameAt(0.75), shaped * 0.18, 0.6);
    }
}

// Eight eighth-note slots a bar: an index into the chord's melody tones, -1
// for a rest and -2 to hold the previous note.
using Motif = std::array<int, 8>;
const Motif motifs[2][2] = {
    {{0, -1, 1, 2, 3, -2, 2, -1}, {2, -1, 1, 0, 1, -2, -1, -1}},
    {{3, -1, 2, 3, 1, 2, 0, -1}, {2, 3, -2, 1, 0, -2, 1, 2}},
};

void LeadBar(StereoBuffer& out, const Section& section, double barStart, int bar) {
    if (section.lead == 0) return;
    const Chord& chord = ChordAt(barStart);
    const int tones[4] = {chord.tones[0] + 12, chord.tones[1] + 12, chord.tones[2] + 12,
                          chord.tones[0] + 24};
    const Motif& motif = motifs[section.lead == 1 ? 0 : 1][bar % 2];
    int lift = section.lead == 3 ? 12 : 0;
    double level = section.drums == 0 ? 0.10 : 0.14;
    for (int slot = 0; slot < 8; ++slot) {
        if (motif[slot] < 0) continue;
        int length = 1;
        while (slot + length < 8 && motif[slot + length] == -2)
            ++length;
        Lead(out, barStart + slot * 0.25, length * 0.25 - 0.04, tones[motif[slot]] - 12 + lift,
             level);
    }
}

// --- Arrangement and mastering ------------------------------------------------

void Arrange(StereoBuffer& out) {
    int bars = static_cast<int>(fadeEndSeconds / barSeconds) + 1;
    for (int bar = 0; bar < bars; ++bar) {
        double barStart = bar * barSeconds;
        const Section& section = SectionAt(barStart);
        PadBar(out, barStart);
        BassBar(out, section, barStart);
        LeadBar(out, section, barStart, bar);
        for (int step = 0; step < 16; ++step) {
            double time = barStart + step * stepSeconds;
            DrumStep(out, SectionAt(time), time, step,
                     0x1000u + static_cast<uint32_t>(bar * 16 + step));
        }
    }
    Riser(out, 122, 124);
}

// Fades in over the lead-in, out towards the end; silent after the fade.
double MasterGain(double seconds) {
    double gain = std::min(1.0, seconds / 3.0);
    if (seconds > 153) gain *= std::max(0.0, (fadeEndSeconds - seconds) / (fadeEndSeconds - 153));
    return gain;
}

void Master(StereoBuffer& out) {
    float peak = 0;
    for (int i = 0; i < out.Frames(); ++i) {
        double gain = MasterGain(static_cast<double>(i) / sampleRate);
        out.Left()[i] = static_cast<float>(out.Left()[i] * gain);
        out.Right()[i] = static_cast<float>(out.Right()[i] * gain);
        peak = std::max({peak, std::fabs(out.Left()[i]), std::fabs(out.Right()[i])});
    }
    if (peak <= 0) return;
    float scale = static_cast<float>(masterPeak / peak);
    for (auto* channel : {&out.Left(), &out.Right()})
        for (float& v : *channel)
            v *= scale;
}

} // namespace

StereoBuffer ComposeSong() {
    StereoBuffer out(songSeconds);
    Arrange(out);
    Master(out);
    return out;
}

} // namespace assetgen
