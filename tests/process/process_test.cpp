// Real children under /bin/sh. Every test ends its children in TearDown and
// reaps what they leave behind; every wait gives up after a few seconds.
#include <gtest/gtest.h>
#include <zandrel/process.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace zandrel;

namespace {

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Members of the process group that have not ended (a zombie has).
int LiveMembers(int group) {
    int live = 0;
    for (auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text)) continue;
        auto close = text.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0, memberOf = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d %d", &state, &parent, &memberOf) != 3)
            continue;
        if (memberOf == group && state != 'Z' && state != 'X') ++live;
    }
    return live;
}

String NextLine(TPipeStream& pipe) {
    String line;
    WaitFor([&] { return !(line = pipe.ReadLine()).empty(); });
    return line;
}

// True once no child of ours is left, ended or not.
bool ReapedAll() {
    pid_t reaped;
    while ((reaped = waitpid(-1, nullptr, WNOHANG)) > 0) {
    }
    return reaped < 0;
}

class ProcessTest : public testing::Test {
protected:
    // The commands that a terminated group leaves behind come to us to be
    // reaped, so that none lingers as a zombie where init does not reap.
    static void SetUpTestSuite() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    void TearDown() override {
        TerminateAllChildProcesses();
        EXPECT_TRUE(WaitFor(ReapedAll));
    }

    static Ref<TProcess> Start(const std::string& command) {
        auto process = CreateChildProcess(S(command));
        EXPECT_TRUE(process) << command;
        return process;
    }
    static bool Ends(const Ref<TProcess>& process) {
        return WaitFor([&] { return !process->Status(); });
    }
};

TEST_F(ProcessTest, ReadLineFollowsTheLineRules) {
    struct Case {
        const char* printed;
        std::vector<String> lines; // then "" for good
    };
    const Case cases[] = {
        {"a\\r\\nb", {u"a"}},
        {"ab\\ncd\\n", {u"ab", u"cd"}},
        {"x\\ry\\n", {u"x\ry"}},
        {"\\rab\\r\\n", {u"ab"}},
        {"\\n\\r\\nz\\n", {u"", u"", u"z"}},
        {"\\351t\\351\\n", {u"\u00e9t\u00e9"}},
    };
    for (auto& c : cases) {
        auto process = Start(std::string("printf '") + c.printed + "'");
        ASSERT_TRUE(Ends(process)) << c.printed;
        for (auto& line : c.lines)
            EXPECT_EQ(process->Pipe()->ReadLine(), line) << c.printed;
        EXPECT_EQ(process->Pipe()->ReadLine(), u"") << c.printed;
        EXPECT_EQ(process->Pipe()->ReadLine(), u"") << c.printed;
        process->Terminate();
    }
}

TEST_F(ProcessTest, PartLineWaitsForItsLineFeed) {
    auto process = Start("printf 'a\\r\\nb'; read go; printf '\\n'");
    auto& pipe = *process->Pipe();
    ASSERT_TRUE(WaitFor([&] { return pipe.ReadAvail() == 4; }));
    EXPECT_EQ(pipe.ReadLine(), u"a");
    EXPECT_EQ(pipe.ReadLine(), u"");
    EXPECT_EQ(pipe.ReadLine(), u"");
    EXPECT_EQ(pipe.ReadAvail(), 1);
    EXPECT_TRUE(pipe.WriteLine(u"go"));
    EXPECT_EQ(NextLine(pipe), u"b");
}

TEST_F(ProcessTest, FullBufferWithoutLineFeedOverflows) {
    auto process = Start("printf '%05000d' 7");
    ASSERT_TRUE(Ends(process));
    auto& pipe = *process->Pipe();
    EXPECT_EQ(pipe.ReadLine(), u"");
    try {
        pipe.ReadLine();
        FAIL() << "no overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"PipeStream ReadBuffer Overflow");
    }
    // What the line reader holds is not lost to the other readers.
    ByteArray all = pipe.ReadPipe();
    ASSERT_EQ(all.size(), 5000u);
    EXPECT_EQ(all.front(), '0');
    EXPECT_EQ(all.back(), '7');
    EXPECT_TRUE(pipe.Eof());
}

TEST_F(ProcessTest, CatEchoesAMebibyte) {
    auto process = Start("cat");
    auto& pipe = *process->Pipe();
    const int total = 1 << 20, chunk = 16 << 10;
    std::vector<uint8_t> sent(total), received(total);
    for (int i = 0; i < total; ++i)
        sent[i] = static_cast<uint8_t>(i * 7 + i / 251);
    // Chunks small enough for the pipes' buffers, so that neither side waits
    // for the other for ever.
    for (int at = 0; at < total; at += chunk) {
        pipe.WriteBytes(sent.data() + at, chunk);
        pipe.ReadBytes(received.data() + at, chunk);
    }
    EXPECT_EQ(received, sent);
    EXPECT_EQ(pipe.ReadAvail(), 0);
    process->Close();
    EXPECT_TRUE(Ends(process));
    EXPECT_EQ(process->ExitCode(), 0);
}

TEST_F(ProcessTest, StandardErrorArrivesOnErr) {
    auto process = Start("echo oops >&2; echo fine");
    ASSERT_TRUE(Ends(process));
    EXPECT_EQ(process->Err()->ReadLine(), u"oops");
    EXPECT_EQ(process->Pipe()->ReadLine(), u"fine");
    EXPECT_EQ(process->Err()->ReadAvail(), 0);
}

TEST_F(ProcessTest, ExitCodeIsTheShells) {
    struct Case {
        const char* command;
        ProcessFlags flags;
        int code;
    };
    const Case cases[] = {
        {"true", ProcessFlags::NoFlags, 0},
        {"exit 3", ProcessFlags::HideWindow, 3},
        {"no_such_program_zandrel", ProcessFlags::NoFlags, 127},
        {"kill -9 $$", ProcessFlags::NoFlags, 128 + SIGKILL},
    };
    for (auto& c : cases) {
        auto process = CreateChildProcess(S(c.command), c.flags);
        ASSERT_TRUE(process) << c.command;
        ASSERT_TRUE(Ends(process)) << c.command;
        EXPECT_EQ(ChildProcessExitCode(process), c.code) << c.command;
        EXPECT_EQ(process->Name(), S(c.command));
        EXPECT_FALSE(process->Terminate()) << c.command; // nothing left to signal
    }
}

TEST_F(ProcessTest, StatusIsTrueUntilTerminated) {
    auto process = Start("sleep 5");
    EXPECT_TRUE(ChildProcessStatus(process));
    EXPECT_EQ(ChildProcessExitCode(process), -1);
    EXPECT_TRUE(TerminateChildProcess(process));
    EXPECT_FALSE(ChildProcessStatus(process));
    EXPECT_EQ(ChildProcessExitCode(process), 128 + SIGKILL);
}

// Also once the shell itself has ended and been reaped, leaving a command
// running in the background.
TEST_F(ProcessTest, TerminateEndsTheWholeGroup) {
    struct Case {
        const char* command;
        int members; // at least
        bool shellEnds;
    };
    const Case cases[] = {{"echo $$; sleep 100 & sleep 100", 2, false},
                          {"echo $$; sleep 100 &", 1, true}};
    for (auto& c : cases) {
        auto process = Start(c.command);
        int group = ToInt(NextLine(*process->Pipe()));
        ASSERT_GT(group, 0);
        EXPECT_TRUE(c.shellEnds ? Ends(process) : process->Status()) << c.command;
        ASSERT_TRUE(WaitFor([&] { return LiveMembers(group) >= c.members; })) << c.command;
        EXPECT_TRUE(process->Terminate()) << c.command;
        EXPECT_TRUE(WaitFor([&] { return LiveMembers(group) == 0; })) << c.command;
    }
}

TEST_F(ProcessTest, ProgramExitEndsListedChildren) {
    auto probe = Start(EXIT_PROBE);
    std::vector<int> groups;
    for (int i = 0; i < 2; ++i)
        groups.push_back(ToInt(NextLine(*probe->Pipe())));
    ASSERT_TRUE(Ends(probe));
    EXPECT_EQ(probe->ExitCode(), 0);
    for (int group : groups) {
        ASSERT_GT(group, 0);
        EXPECT_TRUE(WaitFor([&] { return LiveMembers(group) == 0; })) << group;
    }
}

TEST_F(ProcessTest, EndingTwiceIsHarmless) {
    auto process = Start("sleep 5");
    EXPECT_TRUE(process->Terminate());
    EXPECT_FALSE(process->Terminate());
    CloseChildProcess(process);
    CloseChildProcess(process);
    EXPECT_FALSE(process->Pipe());
    TerminateAllChildProcesses();
    EXPECT_FALSE(ChildProcessStatus(nullptr));
    EXPECT_FALSE(TerminateChildProcess(nullptr));
}

TEST_F(ProcessTest, WriteToEndedChildGivesZero) {
    auto process = Start("true");
    ASSERT_TRUE(Ends(process));
    auto& pipe = *process->Pipe();
    EXPECT_EQ(pipe.Write("x", 1), 0);
    EXPECT_THROW(pipe.WriteBytes("x", 1), TStreamWriteError);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
}

TEST_F(ProcessTest, CommandTheShellWouldMisreadStartsNothing) {
    const String commands[] = {u"echo \xD800", String(u"echo a\0b", 8)};
    for (auto& command : commands)
        EXPECT_FALSE(CreateChildProcess(command));
}

// A second child holding the first one's input open would keep `cat` from
// ever seeing the end of its input.
TEST_F(ProcessTest, ChildrenInheritNoOtherPipe) {
    auto reader = Start("cat");
    auto other = Start("sleep 5");
    reader->Close();
    EXPECT_TRUE(WaitFor([&] { return !reader->Status(); }, 3000));
    EXPECT_TRUE(other->Status());
}

} // namespace
