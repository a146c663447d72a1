#include "child_native.hpp"

#include <algorithm>

namespace zandrel {

namespace {

// Never destroyed: the exit handler still needs it after the statics made
// later than it have gone.
std::vector<Ref<TProcess>>& ProcessList() {
    static auto* list = new std::vector<Ref<TProcess>>;
    return *list;
}

void Unlist(const TProcess* process) {
    auto& list = ProcessList();
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [process](const Ref<TProcess>& entry) { return entry.get() == process; }),
        list.end());
}

// A child that has ended with nothing of its own left running, and whose
// pipes the program has closed, has nothing for the exit handler to do: a
// program that runs many children would otherwise hold every one of them.
void UnlistFinished() {
    auto& list = ProcessList();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Ref<TProcess>& entry) { return entry->Finished(); }),
               list.end());
}

} // namespace

void StartProcessModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        ProcessList();
        AddExitHandler(TerminateAllChildProcesses);
    });
}

TProcess::TProcess(String name) : name_(std::move(name)) {}

TProcess::~TProcess() = default;

bool TProcess::Status() {
    return handle_ && native::ProcessRunning(*handle_);
}

void TProcess::Close() {
    if (pipe_) pipe_->Close();
    if (err_) err_->Close();
    pipe_ = nullptr;
    err_ = nullptr;
}

bool TProcess::Terminate() {
    Unlist(this);
    if (!handle_) return false;
    bool delivered = native::KillProcess(*handle_);
    exitCode_ = handle_->exitCode;
    handle_.reset();
    return delivered;
}

bool TProcess::Finished() {
    return !pipe_ && !err_ && (!handle_ || (!Status() && !handle_->groupOutlived));
}

int TProcess::ExitCode() {
    if (!handle_) return exitCode_;
    return native::ProcessRunning(*handle_) ? -1 : handle_->exitCode;
}

// A command the OS would read differently (see ToOsName) starts nothing.
Ref<TProcess> TProcess::Create(const String& command, ProcessFlags flags) {
    StartProcessModule();
    auto bytes = ToOsName(command);
    if (!bytes) return nullptr;
    auto handle = std::make_unique<native::ProcessInfo>();
    native::ChildPipes pipes;
    if (!native::StartProcess(*bytes, static_cast<int>(flags), *handle, pipes)) return nullptr;
    auto process = New<TProcess>(command);
    process->handle_ = std::move(handle);
    process->pipe_ = TPipeStream::Create(pipes.output, pipes.input);
    process->err_ = TPipeStream::Create(pipes.error, NoPipeHandle);
    UnlistFinished();
    ProcessList().push_back(process);
    return process;
}

Ref<TProcess> CreateChildProcess(const String& command, ProcessFlags flags) {
    return TProcess::Create(command, flags);
}

bool ChildProcessStatus(const Ref<TProcess>& process) {
    return process && process->Status();
}

int ChildProcessExitCode(const Ref<TProcess>& process) {
    return process ? process->ExitCode() : -1;
}

void CloseChildProcess(const Ref<TProcess>& process) {
    if (process) process->Close();
}

bool TerminateChildProcess(const Ref<TProcess>& process) {
    return process && process->Terminate();
}

void TerminateAllChildProcesses() {
    auto listed = ProcessList();
    for (auto& process : listed) {
        process->Terminate();
        process->Close();
    }
}

} // namespace zandrel
