// What a platform provides for child processes and their pipes. The pipe
// functions take NoPipeHandle and answer as for a closed pipe.
#pragma once

#include <zandrel/process.hpp>

#include <string>

namespace zandrel::native {

// What the platform keeps about a started child.
struct ProcessInfo {
    long id = 0;
    bool ended = false;        // reaped: nothing of the child itself is left
    int exitCode = -1;         // valid once ended
    bool groupOutlived = true; // once ended: whether commands it started were still running
};

// The parent's ends of the child's three pipes.
struct ChildPipes {
    PipeHandle output = NoPipeHandle; // reads the child's standard output
    PipeHandle input = NoPipeHandle;  // writes the child's standard input
    PipeHandle error = NoPipeHandle;  // reads the child's standard error
};

// Runs `/bin/sh -c command` on three new pipes, in a process group of its
// own, inheriting no other handle of ours. False when pipes or the process
// cannot be made; then nothing is left open. Flag 1 (no window) may be ignored.
bool StartProcess(const std::string& command, int flags, ProcessInfo& info, ChildPipes& pipes);
// True while the child runs; once it has ended, reaps it and records its exit code.
bool ProcessRunning(ProcessInfo& info);
// Ends the child and everything in its process group at once and reaps the
// child; true when a signal was delivered.
bool KillProcess(ProcessInfo& info);

// Bytes read, waiting while none are waiting; 0 at the end of data or on failure.
int ReadFromPipe(PipeHandle pipe, void* buf, int count);
// Bytes written; 0 on failure, and when the reader has gone, without a signal.
int WriteToPipe(PipeHandle pipe, const void* buf, int count);
// Bytes waiting to be read; 0 on failure.
int PipeBytesWaiting(PipeHandle pipe);
// True when nothing is waiting and the writer has closed its end; never waits.
bool PipeAtEnd(PipeHandle pipe);
void ClosePipe(PipeHandle pipe);

} // namespace zandrel::native
