// Child processes in a page: there is no process to start, so every start
// fails cleanly and the pipe functions answer as for closed pipes.
#include "child_native.hpp"

namespace zandrel::native {

bool StartProcess(const std::string&, int, ProcessInfo&, ChildPipes&) {
    return false;
}

bool ProcessRunning(ProcessInfo&) {
    return false;
}

bool KillProcess(ProcessInfo&) {
    return false;
}

int ReadFromPipe(PipeHandle, void*, int) {
    return 0;
}

int WriteToPipe(PipeHandle, const void*, int) {
    return 0;
}

int PipeBytesWaiting(PipeHandle) {
    return 0;
}

bool PipeAtEnd(PipeHandle) {
    return true;
}

void ClosePipe(PipeHandle) {}

} // namespace zandrel::native
