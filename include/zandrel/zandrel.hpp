// Everything Zandrel offers, and the start of the whole framework.
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

// Starts every module once, each after the modules it uses.
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
