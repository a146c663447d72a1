// Child processes through CreateProcessW: the command runs under the command
// interpreter (%COMSPEC% /c) on three anonymous pipes, in a Job object of its
// own, so that ending its group ends every process it started. A pipe end is
// a C run-time descriptor over the pipe's handle.
#include "child_native.hpp"
#include "runtime/wide_names.hpp"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <map>
#include <mutex>

namespace zandrel::native {

namespace {

// The exit code of a child ended from here, as a killed one has elsewhere.
constexpr UINT KilledExitCode = 128 + 9;

// What Windows needs to wait for and end a child, by its process id.
struct ChildHandles {
    HANDLE process = nullptr;
    HANDLE job = nullptr;
};

std::mutex childrenLock;
std::map<long, ChildHandles> children;

ChildHandles HandlesOf(long id) {
    std::lock_guard lock(childrenLock);
    auto found = children.find(id);
    return found == children.end() ? ChildHandles{} : found->second;
}

void Forget(long id) {
    std::lock_guard lock(childrenLock);
    auto found = children.find(id);
    if (found == children.end()) return;
    if (found->second.process) CloseHandle(found->second.process);
    if (found->second.job) CloseHandle(found->second.job);
    children.erase(found);
}

bool JobHasProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    return job &&
           QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                     sizeof accounting, nullptr) &&
           accounting.ActiveProcesses > 0;
}

// The six ends of the three pipes, closed when this goes unless released.
struct PipeEnds {
    HANDLE output[2] = {nullptr, nullptr};
    HANDLE input[2] = {nullptr, nullptr};
    HANDLE error[2] = {nullptr, nullptr};

    ~PipeEnds() {
        for (HANDLE* pair : {output, input, error})
            for (int i : {0, 1})
                if (pair[i]) CloseHandle(pair[i]);
    }
    // Only the child's end is inheritable, and only by the child started with it.
    static bool Make(HANDLE ends[2], int childEnd) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
        if (!CreatePipe(&ends[0], &ends[1], &attributes, 0)) return false;
        return SetHandleInformation(ends[childEnd], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    bool Make() { return Make(output, 1) && Make(input, 0) && Make(error, 1); }
};

// The descriptor that owns `handle` from now on; the handle is closed on failure.
int Descriptor(HANDLE& handle, int mode) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), mode | _O_BINARY);
    if (fd < 0) CloseHandle(handle);
    handle = nullptr;
    return fd;
}

std::wstring Interpreter() {
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"COMSPEC", path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring(L"cmd.exe");
}

// The child inherits its three pipe ends and nothing else of ours.
struct InheritedHandles {
    std::vector<char> storage;
    LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
    HANDLE handles[3];

    explicit InheritedHandles(const PipeEnds& ends)
        : handles{ends.input[0], ends.output[1], ends.error[1]} {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage.resize(size);
        list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size) ||
            !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                       sizeof handles, nullptr, nullptr))
            list = nullptr;
    }
    ~InheritedHandles() {
        if (list) DeleteProcThreadAttributeList(list);
    }
};

bool Launch(const std::wstring& commandLine, int flags, const PipeEnds& ends,
            PROCESS_INFORMATION& started) {
    InheritedHandles inherited(ends);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = ends.input[0];
    startup.StartupInfo.hStdOutput = ends.output[1];
    startup.StartupInfo.hStdError = ends.error[1];
    startup.lpAttributeList = inherited.list;
    DWORD creation = CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT |
                     (inherited.list ? EXTENDED_STARTUPINFO_PRESENT : 0) |
                     (flags & 1 ? CREATE_NO_WINDOW : 0);
    std::wstring line = commandLine;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, creation, nullptr, nullptr,
                          &startup.StartupInfo, &started) != 0;
}

void RecordExit(ProcessInfo& info, const ChildHandles& child) {
    DWORD code = 0;
    info.ended = true;
    info.exitCode = GetExitCodeProcess(child.process, &code) ? static_cast<int>(code) : -1;
    info.groupOutlived = JobHasProcesses(child.job);
    if (!info.groupOutlived) Forget(info.id);
}

} // namespace

bool StartProcess(const std::string& command, int flags, ProcessInfo& info, ChildPipes& pipes) {
    auto wide = WideName(command);
    if (!wide) return false;
    PipeEnds ends;
    if (!ends.Make()) return false;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return false;
    PROCESS_INFORMATION started{};
    if (!Launch(L"\"" + Interpreter() + L"\" /s /c \"" + *wide + L"\"", flags, ends, started) ||
        !AssignProcessToJobObject(job, started.hProcess)) {
        if (started.hProcess) {
            TerminateProcess(started.hProcess, KilledExitCode);
            CloseHandle(started.hProcess);
            CloseHandle(started.hThread);
        }
        CloseHandle(job);
        return false;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    {
        std::lock_guard lock(childrenLock);
        children[static_cast<long>(started.dwProcessId)] = {started.hProcess, job};
    }
    info = ProcessInfo{static_cast<long>(started.dwProcessId), false, -1};
    pipes = ChildPipes{Descriptor(ends.output[0], _O_RDONLY), Descriptor(ends.input[1], _O_WRONLY),
                       Descriptor(ends.error[0], _O_RDONLY)};
    return true;
}

bool ProcessRunning(ProcessInfo& info) {
    if (info.ended) return false;
    ChildHandles child = HandlesOf(info.id);
    if (!child.process) {
        info.ended = true;
        return false;
    }
    if (WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT) return true;
    RecordExit(info, child);
    return false;
}

bool KillProcess(ProcessInfo& info) {
    if (info.ended && !info.groupOutlived) return false;
    ChildHandles child = HandlesOf(info.id);
    if (!child.job) return false;
    bool delivered = TerminateJobObject(child.job, KilledExitCode) != 0;
    if (!info.ended) {
        WaitForSingleObject(child.process, INFINITE);
        RecordExit(info, child);
    }
    info.groupOutlived = false;
    Forget(info.id);
    return delivered;
}

namespace {

HANDLE PipeOf(PipeHandle pipe) {
    return pipe < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(pipe));
}

} // namespace

int ReadFromPipe(PipeHandle pipe, void* buf, int count) {
    HANDLE handle = PipeOf(pipe);
    DWORD got = 0;
    if (handle == INVALID_HANDLE_VALUE || count <= 0) return 0;
    return ReadFile(handle, buf, static_cast<DWORD>(count), &got, nullptr) ? static_cast<int>(got)
                                                                           : 0;
}

// A write whose reader has gone fails with ERROR_NO_DATA: Windows raises nothing.
int WriteToPipe(PipeHandle pipe, const void* buf, int count) {
    HANDLE handle = PipeOf(pipe);
    DWORD written = 0;
    if (handle == INVALID_HANDLE_VALUE || count <= 0) return 0;
    return WriteFile(handle, buf, static_cast<DWORD>(count), &written, nullptr)
               ? static_cast<int>(written)
               : 0;
}

int PipeBytesWaiting(PipeHandle pipe) {
    HANDLE handle = PipeOf(pipe);
    DWORD waiting = 0;
    if (handle == INVALID_HANDLE_VALUE) return 0;
    return PeekNamedPipe(handle, nullptr, 0, nullptr, &waiting, nullptr) ? static_cast<int>(waiting)
                                                                         : 0;
}

// A pipe whose writer has gone and that holds nothing fails to peek with
// ERROR_BROKEN_PIPE.
bool PipeAtEnd(PipeHandle pipe) {
    HANDLE handle = PipeOf(pipe);
    if (handle == INVALID_HANDLE_VALUE) return true;
    DWORD waiting = 0;
    if (PeekNamedPipe(handle, nullptr, 0, nullptr, &waiting, nullptr)) return false;
    return GetLastError() == ERROR_BROKEN_PIPE;
}

void ClosePipe(PipeHandle pipe) {
    if (pipe >= 0) _close(pipe);
}

} // namespace zandrel::native
