#include "process_native.hpp"

#include <cstdlib>
#include <exception>

namespace zandrel {

namespace {

struct ProcessValues {
    String executablePath;
    String executableFolder;
    String initialFolder;
    std::vector<String> arguments;
    UnattendedRun unattended;
};

ProcessValues& Values() {
    static ProcessValues values;
    return values;
}

String FolderOf(const String& path) {
    auto slash = path.find_last_of(u'/');
    if (slash == String::npos) return String();
    return slash == 0 ? S("/") : path.substr(0, slash);
}

// A whole positive decimal number, else 0.
int PositiveCount(const String& text) {
    if (text.empty() || text.size() > 9) return 0;
    int count = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return 0;
        count = count * 10 + (c - u'0');
    }
    return count;
}

// Takes RunProgram's own options out of the arguments; a malformed one is
// left to the program.
UnattendedRun TakeUnattendedOptions(std::vector<String>& arguments, const String& startFolder) {
    UnattendedRun run;
    for (size_t i = 1; i + 1 < arguments.size();) {
        const String& value = arguments[i + 1];
        if (arguments[i] == u"--frames" && PositiveCount(value) > 0) {
            run.frames = PositiveCount(value);
        } else if (arguments[i] == u"--frame-ms" && PositiveCount(value) > 0) {
            run.frameMillis = PositiveCount(value);
        } else if (arguments[i] == u"--screenshot" && !value.empty()) {
            run.screenshot = value[0] == u'/' ? value : startFolder + u"/" + value;
        } else {
            ++i;
            continue;
        }
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
    }
    if (!run.screenshot.empty() && run.frames == 0) run.frames = 1;
    return run;
}

void RecordProcess(int argc, char** argv) {
    auto& values = Values();
    values.initialFolder = native::WorkingFolder();
    values.executablePath = native::ExecutablePath();
    values.executableFolder = FolderOf(values.executablePath);
    values.arguments.clear();
    for (int i = 0; i < argc; ++i)
        values.arguments.push_back(FromUtf8(argv[i]));
    values.unattended = TakeUnattendedOptions(values.arguments, values.initialFolder);
    if (!values.executableFolder.empty()) native::ChangeWorkingFolder(values.executableFolder);
}

[[noreturn]] void ReportEscapedException(std::exception_ptr escaped) {
    try {
        std::rethrow_exception(escaped);
    } catch (const RuntimeError& error) {
        ExitWithError(error.Message());
    } catch (const std::exception& error) {
        ExitWithError(FromUtf8(error.what()));
    } catch (...) {
        ExitWithError(S("Unhandled exception"));
    }
}

void OnTerminate() {
    if (auto escaped = std::current_exception()) ReportEscapedException(escaped);
    std::abort();
}

} // namespace

int RunProgram(int argc, char** argv, const std::function<int()>& body) {
    RecordProcess(argc, argv);
    std::set_terminate(OnTerminate);
    int code = 0;
    try {
        code = body();
    } catch (...) {
        ReportEscapedException(std::current_exception());
    }
    std::exit(code);
}

const String& ExecutablePath() {
    return Values().executablePath;
}
const String& ExecutableFolder() {
    return Values().executableFolder;
}
const String& InitialFolder() {
    return Values().initialFolder;
}
const std::vector<String>& ProgramArguments() {
    return Values().arguments;
}
const UnattendedRun& UnattendedRunOptions() {
    return Values().unattended;
}

} // namespace zandrel
