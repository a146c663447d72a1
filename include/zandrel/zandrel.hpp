// Everything Zandrel offers, and the start of the whole framework.
#pragma once

#include <zandrel/graphics.hpp>
#include <zandrel/runtime.hpp>
#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>
#include <zandrel/audio.hpp>

namespace zandrel {

// Starts every module once, each after the modules it uses.
inline void StartZandrel() {
    StartStreamModule();
    StartSystemModule();
    StartGraphicsModule();
    StartAudioModule();
}

} // namespace zandrel
