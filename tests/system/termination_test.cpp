// Ctrl+C and kill on framework programs, each a child process: one that reads
// events gets a terminate request; one that does not ends through the exit
// handlers with 128 + the signal; one whose main thread passes no point at
// all is ended by the signal itself.
#include <gtest/gtest.h>
#include <zandrel/system.hpp>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace zandrel;

namespace {

// A running probe, its standard output on a pipe.
class Probe {
public:
    explicit Probe(const char* loop) {
        int ends[2];
        if (pipe(ends) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        char* argv[] = {const_cast<char*>(TERMINATION_PROBE), const_cast<char*>(loop), nullptr};
        if (posix_spawn(&pid_, TERMINATION_PROBE, &actions, nullptr, argv, environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        output_ = ends[0];
    }
    ~Probe() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) close(output_);
    }

    // Reads until the probe says "ready"; false when it ends first.
    bool WaitUntilReady() {
        while (text_.find("ready\n") == std::string::npos)
            if (!ReadSome()) return false;
        return true;
    }
    void Send(int signal) { kill(pid_, signal); }
    // The status once it has ended, within `ms`; no value while it runs on.
    std::optional<int> WaitForEnd(int ms) {
        for (int waited = 0; waited <= ms; waited += 5) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                while (ReadSome()) {
                }
                return status;
            }
            DelayMillis(5);
        }
        return std::nullopt;
    }
    const std::string& Output() const { return text_; }

private:
    bool ReadSome() {
        char buffer[256];
        ssize_t got = read(output_, buffer, sizeof buffer);
        if (got <= 0) return false;
        text_.append(buffer, static_cast<size_t>(got));
        return true;
    }

    pid_t pid_ = 0;
    int output_ = -1;
    bool ended_ = false;
    std::string text_;
};

struct Case {
    const char* loop;
    int signal;
    int signals;  // sent half a second apart
    int exitCode; // -1: ended by the signal itself
    const char* said;
    int withinMs; // of the last signal
};

} // namespace

TEST(TerminationSignals, EndEveryKindOfProgram) {
    const Case cases[] = {
        {"reads", SIGINT, 1, 3, "terminate request", 1000},
        {"polls", SIGTERM, 1, 3, "terminate request", 1000},
        {"flips", SIGINT, 1, 130, "exit handlers ran, graphics closed", 1000},
        {"flips", SIGTERM, 1, 143, "exit handlers ran, graphics closed", 1000},
        {"sleeps", SIGTERM, 1, 143, "exit handlers ran", 1000},
        {"ignores", SIGINT, 2, 130, "exit handlers ran, graphics closed", 1000},
        {"stuck", SIGTERM, 1, -1, "", 1500},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.loop << " " << strsignal(c.signal) << " x" << c.signals);
        Probe probe(c.loop);
        ASSERT_TRUE(probe.WaitUntilReady()) << probe.Output();
        DelayMillis(100);
        for (int sent = 0; sent < c.signals; ++sent) {
            if (sent > 0) {
                EXPECT_FALSE(probe.WaitForEnd(500)) << "ended on the first signal";
            }
            probe.Send(c.signal);
        }
        auto status = probe.WaitForEnd(c.withinMs);
        ASSERT_TRUE(status) << "still running " << c.withinMs << " ms after the signal";
        if (c.exitCode < 0) {
            ASSERT_TRUE(WIFSIGNALED(*status));
            EXPECT_EQ(WTERMSIG(*status), c.signal);
        } else {
            ASSERT_TRUE(WIFEXITED(*status));
            EXPECT_EQ(WEXITSTATUS(*status), c.exitCode);
        }
        EXPECT_NE(probe.Output().find(c.said), std::string::npos) << probe.Output();
    }
}
