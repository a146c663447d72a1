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

void RecordProcess(int argc, char** argv) {
    auto& values = Values();
    values.initialFolder = native::WorkingFolder();
    values.executablePath = native::ExecutablePath();
    values.executableFolder = FolderOf(values.executablePath);
    values.arguments.clear();
    for (int i = 0; i < argc; ++i)
        values.arguments.push_back(FromUtf8(argv[i]));
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

} // namespace zandrel
