// Everything Zandrel offers, and the start of the whole framework: a program
// calls StartZandrel() once, on its main thread, before anything else (or runs
// its body through RunProgram and calls it there). The error rule is at the
// top of runtime.hpp.
#pragma once

#include <zandrel/audio.hpp>
#include <zandrel/font.hpp>
#include <zandrel/graphics.hpp>
#include <zandrel/joystick.hpp>
#include <zandrel/net.hpp>
#include <zandrel/pixmap.hpp>
#include <zandrel/process.hpp>
#include <zandrel/runtime.hpp>
#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>
#include <zandrel/vex2d.hpp>

namespace zandrel {

// Starts every module once, each after the modules it uses; later calls do nothing.
inline void StartZandrel() {
    StartStreamModule();
    StartSystemModule();
    StartPixmapModule();
    StartGraphicsModule();
    StartAudioModule();
    StartNetModule();
    StartProcessModule();
    StartJoystickModule();
    StartVex2DModule();
    StartFontModule();
}

} // namespace zandrel
