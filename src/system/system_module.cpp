#include "system_parts.hpp"

#include <zandrel/stream.hpp>

namespace zandrel {

void StartSystemModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        StartEventQueue();
        StartSystemDriver();
    });
}

} // namespace zandrel
