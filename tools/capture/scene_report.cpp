#include "scene_report.hpp"

#include <algorithm>
#include <cstdio>

namespace capture {

void SceneReport::SceneStarted(int scene, int, int64_t) {
    if (scene < 0 || scene >= static_cast<int>(scenes_.size())) return;
    current_ = scene;
    scenes_[scene].started = true;
}

void SceneReport::FrameDone(int frame, int64_t clock, double renderMillis) {
    if (current_ < 0) return;
    SceneStats& s = scenes_[current_];
    if (s.frames == 0) {
        s.firstFrame = frame;
        s.firstClock = clock;
    }
    ++s.frames;
    s.totalMillis += renderMillis;
    s.worstMillis = std::max(s.worstMillis, renderMillis);
}

std::string SceneReport::Table() const {
    std::string text = "scene  frames  first frame   at clock ms  mean ms  worst ms\n";
    char line[128];
    for (size_t i = 0; i < scenes_.size(); ++i) {
        const SceneStats& s = scenes_[i];
        double mean = s.frames ? s.totalMillis / s.frames : 0;
        std::snprintf(line, sizeof line, "%-5s  %6d  %11d  %12lld  %7.2f  %8.2f\n",
                      i == 0 ? "lead" : std::to_string(i).c_str(), s.frames, s.firstFrame,
                      static_cast<long long>(s.firstClock), mean, s.worstMillis);
        text += line;
    }
    return text;
}

std::string SceneReport::Csv() const {
    std::string text = "scene,started,frames,first_frame,first_clock_ms,mean_ms,worst_ms\n";
    char line[160];
    for (size_t i = 0; i < scenes_.size(); ++i) {
        const SceneStats& s = scenes_[i];
        double mean = s.frames ? s.totalMillis / s.frames : 0;
        std::snprintf(line, sizeof line, "%zu,%d,%d,%d,%lld,%.3f,%.3f\n", i, s.started ? 1 : 0,
                      s.frames, s.firstFrame, static_cast<long long>(s.firstClock), mean,
                      s.worstMillis);
        text += line;
    }
    return text;
}

} // namespace capture
