// The show's music: 120 beats per minute, sections changing on the show's
// scene marks, faded out by 163 s.
#pragma once

#include "synth.hpp"

namespace assetgen {

constexpr double songSeconds = 165.0;
constexpr double fadeEndSeconds = 163.0;
// Peak level of the mastered mix, with headroom for the encoder's overshoot.
constexpr double masterPeak = 0.708; // -3 dBFS

StereoBuffer ComposeSong();

} // namespace assetgen
