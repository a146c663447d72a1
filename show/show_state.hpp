// The state of one run of the timeline: pictures, particle tables, the clock
// and the animation angles that several scenes share.
#pragma once

#include "show.hpp"

#include <array>
#include <cstdint>

namespace zandrel::show {

constexpr int driftCount = 20;
constexpr int swarmCount = 350;
constexpr float leadInEnd = 3.5f;
constexpr std::array<float, 16> timeMarks = {19.5f, 27.5f, 35.5f, 44,  51.5f, 59,  67.5f, 84,
                                             92,    108,   116,   120, 122,   124, 140,   163};

struct ShowState {
    ShowMedia media;
    ShowTables tables;
    ShowClock clock;
    float elapsed = 0;
    float phase = 0, swing = 0, gridPhase = 0;
};

// One scene: the state it sets on entry, the work of one frame, the state it
// leaves behind for the next scene, and the count of seconds that ends it.
struct Scene {
    float mark;
    void (*enter)(ShowState&);
    void (*frame)(ShowState&);
    void (*leave)(ShowState&);
};

const std::array<Scene, 16>& Scenes();

} // namespace zandrel::show
