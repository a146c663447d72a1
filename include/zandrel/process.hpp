// Child processes: a command line runs under /bin/sh with its standard input,
// output and error on pipes, which the parent reads and writes as streams
// (with a line reader that never waits). Every child started here stays
// listed until it is terminated, and the children still listed are
// terminated when the program exits. Terminating a child ends its whole
// process group at once, so the commands it started in turn go with it.
//
// Start-up: StartProcessModule() (StartZandrel() calls it) starts the stream
// module and registers the exit handler.
// Threading: main thread only. Only Read and Write wait (for the child).
#pragma once

#include <zandrel/stream.hpp>

#include <memory>

namespace zandrel {

// Starts the stream module and the list of child processes, which an exit
// handler terminates; later calls do nothing.
void StartProcessModule();

// A pipe end of the platform (a file descriptor here); NoPipeHandle for none.
using PipeHandle = int;
// No pipe.
constexpr PipeHandle NoPipeHandle = -1;

// The reading end of one pipe and the writing end of another. Bytes that
// ReadLine has taken from the pipe but not yet returned as a line come first
// from Read, ReadAvail and ReadPipe, so mixing the readers loses nothing.
class TPipeStream : public TStream {
public:
    static constexpr int ReadBufferSize = 4096; // bytes ReadLine may hold for later

    // Owns the handles from now on.
    TPipeStream(PipeHandle readHandle, PipeHandle writeHandle);
    ~TPipeStream() override;
    TPipeStream(const TPipeStream&) = delete;
    TPipeStream& operator=(const TPipeStream&) = delete;

    // True once the writer has closed its end and every byte has been read;
    // never waits.
    bool Eof() override;
    bool Close() override; // closes both ends; true
    // Waits when nothing is waiting; 0 at the end of data or on failure.
    int Read(void* buf, int count) override;
    // 0 when the reader has gone (the program gets no SIGPIPE).
    int Write(const void* buf, int count) override;

    // Bytes that Read delivers without waiting.
    int ReadAvail();
    // Every byte waiting now; empty when there is none.
    ByteArray ReadPipe();
    // The next whole line without its CR LF or LF, one character per byte;
    // "" when no whole line has arrived yet (or the line is empty). Never
    // waits. Throws RuntimeError "PipeStream ReadBuffer Overflow" when 4096
    // bytes without a line feed fill the buffer and more are waiting.
    String ReadLine() override;

    // As the constructor: the stream owns the handles (NoPipeHandle for none).
    static Ref<TPipeStream> Create(PipeHandle readHandle, PipeHandle writeHandle);

private:
    void FillLineBuffer();
    void DropBuffered(int count);

    std::unique_ptr<uint8_t[]> readBuffer_;
    int buffered_ = 0;
    PipeHandle readHandle_;
    PipeHandle writeHandle_;
};

// HideWindow asks for no window where a platform gives children one; it is
// accepted and has nothing to do here.
enum class ProcessFlags : int { NoFlags = 0, HideWindow = 1 };
ZANDREL_FLAG_SET(ProcessFlags);

namespace native {
struct ProcessInfo;
}

// A child process started through the shell, with pipes to its standard
// input, output and error. Create starts one; the process module lists it
// until Terminate, and ends every listed child at exit.
class TProcess : public Object {
public:
    explicit TProcess(String name); // a record with no child yet; Create starts one
    ~TProcess() override;

    // True while the child runs.
    virtual bool Status();
    // Closes and drops Pipe() and Err().
    virtual void Close();
    // Ends the child and its process group and takes it off the list; true
    // when something was signalled, false when there was nothing left to end.
    virtual bool Terminate();

    // The shell's exit status (127: no such program; 128 + n: ended by signal
    // n), -1 while the child runs.
    int ExitCode();
    // True once the child has ended, nothing it started still runs and its
    // pipes are closed: the process list then lets it go.
    bool Finished();
    // The command line it was started with.
    const String& Name() const { return name_; }
    // Reads the child's standard output and writes its standard input.
    const Ref<TPipeStream>& Pipe() const { return pipe_; }
    // Reads the child's standard error.
    const Ref<TPipeStream>& Err() const { return err_; }

    // Runs `/bin/sh -c command`. No object when the pipes or the process
    // cannot be made, or the command holds a lone surrogate or a 0 character.
    // `flags` HideWindow asks for no window; it has nothing to do here.
    static Ref<TProcess> Create(const String& command, ProcessFlags flags = ProcessFlags::NoFlags);

private:
    String name_;
    std::unique_ptr<native::ProcessInfo> handle_;
    Ref<TPipeStream> pipe_;
    Ref<TPipeStream> err_;
    int exitCode_ = -1;
};

// TProcess::Create.
// `flags` as for TProcess::Create.
Ref<TProcess> CreateChildProcess(const String& command, ProcessFlags flags = ProcessFlags::NoFlags);
// False for no process.
bool ChildProcessStatus(const Ref<TProcess>& process);
// -1 while it runs, and for no process.
int ChildProcessExitCode(const Ref<TProcess>& process);
// TProcess::Close; nothing for no process.
void CloseChildProcess(const Ref<TProcess>& process);
// Ends the process as TProcess::Terminate does; false for no process.
bool TerminateChildProcess(const Ref<TProcess>& process);
// Terminates and closes every listed child; the exit handler.
void TerminateAllChildProcesses();

} // namespace zandrel
