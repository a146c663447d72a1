#include "child_native.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zandrel::native {

namespace {

// The six ends of the three pipes, closed when this goes unless released.
struct PipeEnds {
    int output[2] = {-1, -1};
    int input[2] = {-1, -1};
    int error[2] = {-1, -1};

    ~PipeEnds() {
        for (int* pair : {output, input, error})
            for (int i : {0, 1})
                if (pair[i] >= 0) close(pair[i]);
    }
    void CloseChildEnds() {
        for (int* end : {&input[0], &output[1], &error[1]}) {
            close(*end);
            *end = -1;
        }
    }
};

// Placing the child's ends on 0, 1 and 2 must never overwrite another of
// them, which could happen when the parent runs with a standard stream closed.
bool LiftAboveStandardStreams(int& fd) {
    if (fd > STDERR_FILENO) return true;
    int lifted = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (lifted < 0) return false;
    close(fd);
    fd = lifted;
    return true;
}

// Close-on-exec from the start, so that no other child inherits this pipe.
bool MakePipe(int ends[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    return LiftAboveStandardStreams(ends[0]) && LiftAboveStandardStreams(ends[1]);
}

struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    explicit SpawnSetup(const PipeEnds& ends) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends.input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends.output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends.error[1], STDERR_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
        // Descriptors that other code opened without close-on-exec stay ours too.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
        posix_spawnattr_init(&attributes);
        // A group of its own lets one signal reach everything the child starts.
        posix_spawnattr_setpgroup(&attributes, 0);
        // Signals the parent ignores or blocks (SIGPIPE, say) are the parent's
        // business: the child starts with the defaults.
        sigset_t signals;
        sigfillset(&signals);
        sigdelset(&signals, SIGKILL);
        sigdelset(&signals, SIGSTOP);
        posix_spawnattr_setsigdefault(&attributes, &signals);
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&attributes, &signals);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                  POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

// Once its leader is reaped and the last member gone, a group's number is
// free for the next process: asking now whether members remain keeps a late
// Terminate from signalling a stranger's group that took the number.
void RecordExit(ProcessInfo& info, int status) {
    info.ended = true;
    info.groupOutlived = kill(-static_cast<pid_t>(info.id), 0) == 0;
    if (WIFEXITED(status))
        info.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        info.exitCode = 128 + WTERMSIG(status);
}

// One wait; false when the child has not ended yet (only with WNOHANG).
bool Reap(ProcessInfo& info, int options) {
    int status = 0;
    pid_t result;
    do {
        result = waitpid(static_cast<pid_t>(info.id), &status, options);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return false;
    if (result > 0) {
        RecordExit(info, status);
    } else {
        // Someone else reaped it: nothing is left to wait for, and nothing
        // tells whether its group outlived it.
        info.ended = true;
    }
    return true;
}

bool IsPending(int signal) {
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, signal) == 1;
}

} // namespace

bool StartProcess(const std::string& command, int, ProcessInfo& info, ChildPipes& pipes) {
    PipeEnds ends;
    if (!MakePipe(ends.output) || !MakePipe(ends.input) || !MakePipe(ends.error)) return false;
    SpawnSetup setup(ends);
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                    const_cast<char*>(command.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", &setup.actions, &setup.attributes, argv, environ) != 0)
        return false;
    ends.CloseChildEnds();
    info = ProcessInfo{pid, false, -1};
    pipes = ChildPipes{ends.output[0], ends.input[1], ends.error[0]};
    ends.output[0] = ends.input[1] = ends.error[0] = -1;
    return true;
}

bool ProcessRunning(ProcessInfo& info) {
    if (info.ended) return false;
    return !Reap(info, WNOHANG);
}

bool KillProcess(ProcessInfo& info) {
    auto pid = static_cast<pid_t>(info.id);
    if (info.ended && !info.groupOutlived) return false;
    bool delivered = kill(-pid, SIGKILL) == 0;
    if (info.ended) return delivered;
    // The child may have moved to another group: it is signalled itself too,
    // so that the wait below always ends.
    delivered = (kill(pid, SIGKILL) == 0) || delivered;
    Reap(info, 0);
    return delivered;
}

int ReadFromPipe(PipeHandle pipe, void* buf, int count) {
    if (pipe < 0 || count <= 0) return 0;
    ssize_t got;
    do {
        got = read(pipe, buf, static_cast<size_t>(count));
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<int>(got) : 0;
}

// The SIGPIPE of a write to a pipe whose reader has gone goes to the writing
// thread: blocked around the write and taken back if this write raised it.
int WriteToPipe(PipeHandle pipe, const void* buf, int count) {
    if (pipe < 0 || count <= 0) return 0;
    sigset_t pipeSignal, previousMask;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
    bool wasPending = IsPending(SIGPIPE);
    ssize_t written;
    do {
        written = write(pipe, buf, static_cast<size_t>(count));
    } while (written < 0 && errno == EINTR);
    if (written < 0 && errno == EPIPE && !wasPending) {
        timespec noWait{};
        sigtimedwait(&pipeSignal, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return written > 0 ? static_cast<int>(written) : 0;
}

int PipeBytesWaiting(PipeHandle pipe) {
    int waiting = 0;
    if (pipe < 0 || ioctl(pipe, FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

// Readable with nothing to read means the writer has gone; asked in this
// order, bytes that arrive in between are never taken for the end.
bool PipeAtEnd(PipeHandle pipe) {
    if (pipe < 0) return true;
    if (PipeBytesWaiting(pipe) > 0) return false;
    pollfd query{pipe, POLLIN, 0};
    if (poll(&query, 1, 0) <= 0) return false;
    return PipeBytesWaiting(pipe) == 0;
}

void ClosePipe(PipeHandle pipe) {
    if (pipe >= 0) close(pipe);
}

} // namespace zandrel::native
