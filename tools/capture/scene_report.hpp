// Frames and render times per scene, as a table and as CSV.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace capture {

struct SceneStats {
    int frames = 0;
    double totalMillis = 0;
    double worstMillis = 0;
    int firstFrame = -1;    // index of the scene's first frame
    int64_t firstClock = 0; // the clock at that frame
    bool started = false;
};

class SceneReport {
public:
    void SceneStarted(int scene, int nextFrame, int64_t clock);
    void FrameDone(int frame, int64_t clock, double renderMillis);
    int CurrentScene() const { return current_; }

    std::string Table() const;
    std::string Csv() const;

private:
    std::array<SceneStats, 17> scenes_{}; // 0 is the lead-in
    int current_ = -1;
};

} // namespace capture
