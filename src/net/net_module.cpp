#include "net_native.hpp"
#include "openers.hpp"

namespace zandrel {

// The openers live for the whole run.
void StartNetModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        native::StartSockets();
        new TTCPStreamOpener;
        new THTTPStreamOpener;
    });
}

} // namespace zandrel
