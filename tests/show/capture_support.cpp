#include "capture_support.hpp"
#include "test_support.hpp"

#include <zandrel/stream.hpp>

#include <cstdio>

namespace zandrel::test {

CaptureRun RunCapture(const std::string& out, const std::string& options, std::string log) {
    if (log.empty()) log = out + ".log";
    std::string command = "SDL_AUDIODRIVER=dummy " + std::string(ZANDREL_SHOW_DIR) +
                          "/zandrel-capture --use-display --out " + out + " " + options + " > " +
                          log + " 2>&1";
    CaptureRun run;
    run.exitCode = PrivateDisplay(800, 600).Run(command);
    if (auto text = OpenReadStream(log))
        while (!text->Eof())
            if (std::string line = ToBytes(text->ReadLine());
                line.rfind("zandrel-capture:", 0) == 0)
                run.messages.push_back(line);
    auto csv = OpenReadStream(out + "/scenes.csv");
    if (!csv) return run;
    csv->ReadLine();
    while (!csv->Eof()) {
        std::string line = ToBytes(csv->ReadLine());
        SceneRow row;
        int scene = 0, started = 0;
        if (std::sscanf(line.c_str(), "%d,%d,%d,%d,%lld,%lf", &scene, &started, &row.frames,
                        &row.firstFrame, &row.firstClock, &row.meanMillis) == 6) {
            row.started = started;
            run.scenes[scene] = row;
        }
    }
    return run;
}

} // namespace zandrel::test
