// The capture tool's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace capture {

struct Options {
    std::string out = "capture"; // folder, relative to where the tool was started
    int fps = 60;
    int frameMillis = 0;       // virtual milliseconds per frame; 0: 1000 / fps
    int every = 1;             // write every Nth frame
    double from = 0, to = 1e9; // seconds since the music started, frames to write
    double until = 1e9;        // end the show this many seconds after the music starts
    bool frames = true;
    bool audio = true;
    bool video = true;       // an MP4 when ffmpeg is there and every frame was written
    int startClock = 0;      // the virtual clock when the show starts
    bool realtime = false;   // the real clock and audio device; timing only
    bool useDisplay = false; // draw on $DISPLAY instead of a private X server
};

// The options, or an error message in `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);
const char* Usage();

} // namespace capture
