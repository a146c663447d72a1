#include <zandrel/runtime.hpp>

#include <cstdio>
#include <cstdlib>
#include <typeindex>
#include <unordered_map>

namespace zandrel {

// Entries join from static constructors too, before main, and leave from
// static destructors, after it, in whatever order the libraries' statics go:
// the table is made on first use and never destroyed, so that the last entry
// to leave still finds it.
void*& RegistryHead(const std::type_info& type) {
    static auto* heads = new std::unordered_map<std::type_index, void*>;
    return (*heads)[std::type_index(type)];
}

void RunOnce(bool& started, const std::function<void()>& start) {
    if (started) return;
    started = true;
    start();
}

namespace {

std::vector<std::function<void()>>& ExitHandlers() {
    static std::vector<std::function<void()>> handlers;
    return handlers;
}

bool exitRunnerInstalled = false;

} // namespace

void AddExitHandler(std::function<void()> handler) {
    // The list must exist before the runner is registered, so that it is
    // destroyed after the runner has run, not before.
    auto& handlers = ExitHandlers();
    if (!exitRunnerInstalled) {
        exitRunnerInstalled = true;
        std::atexit([] { RunExitHandlers(); });
    }
    handlers.push_back(std::move(handler));
}

// Each handler is taken off the list before it runs, so a handler that ends
// the process again, or a second call, never runs one twice.
void RunExitHandlers() {
    auto& handlers = ExitHandlers();
    while (!handlers.empty()) {
        auto handler = std::move(handlers.back());
        handlers.pop_back();
        try {
            handler();
        } catch (const RuntimeError& error) {
            // The process is already ending: report and go on with the rest.
            std::string text = ToUtf8(error.Message()) + "\n";
            std::fwrite(text.data(), 1, text.size(), stderr);
        }
    }
}

} // namespace zandrel
