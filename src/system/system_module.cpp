#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>

namespace zandrel {

void StartSystemModule() {
    static bool started = false;
    RunOnce(started, [] { StartStreamModule(); });
}

} // namespace zandrel
