#include <zandrel/app.hpp>
#include <zandrel/zandrel.hpp>

namespace zandrel {

void StartAppModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartVex2DModule();
        StartAudioModule();
    });
}

} // namespace zandrel
