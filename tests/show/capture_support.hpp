// The capture tool run as the show's tests run it: in a process of its own,
// on a private 800 x 600 X server, its table of scenes read back.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zandrel::test {

struct SceneRow {
    bool started = false;
    int frames = 0, firstFrame = -1;
    long long firstClock = 0;
    double meanMillis = 0; // from one flip to the next, over the scene's frames
};

struct CaptureRun {
    int exitCode = -1;
    std::map<int, SceneRow> scenes; // 0 is the lead-in
    std::vector<std::string> messages; // the tool's own lines on standard error
};

// Writes into the folder `out`, and its log to `log` (beside `out` when empty).
CaptureRun RunCapture(const std::string& out, const std::string& options,
                      std::string log = std::string());

} // namespace zandrel::test
