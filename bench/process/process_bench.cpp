// Starting children and reading their output, against bare posix_spawn,
// waitpid and read on the same set-up in the same run. Wall time: the work
// happens in the children.
#include <benchmark/benchmark.h>
#include <zandrel/process.hpp>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace zandrel;

namespace {

constexpr int blockSize = 64 * 1024;
constexpr int64_t catBytes = int64_t(256) << 20;

pid_t SpawnShell(const char* command, posix_spawn_file_actions_t* actions) {
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command),
                    nullptr};
    pid_t pid = 0;
    posix_spawn(&pid, "/bin/sh", actions, nullptr, argv, environ);
    return pid;
}

void BareSpawnAndWait(benchmark::State& state) {
    for (auto _ : state) {
        int status = 0;
        waitpid(SpawnShell("true", nullptr), &status, 0);
    }
    state.SetItemsProcessed(state.iterations());
}

// Waits as a program would: for the end of the child's output, then for
// Status to say it has gone.
void ChildProcessStartAndWait(benchmark::State& state) {
    char byte = 0;
    for (auto _ : state) {
        auto process = CreateChildProcess(u"true");
        process->Pipe()->Read(&byte, 1);
        while (process->Status())
            std::this_thread::yield();
        process->Close();
        process->Terminate();
    }
    state.SetItemsProcessed(state.iterations());
}

void BareReadFromCat(benchmark::State& state) {
    std::vector<char> buf(blockSize);
    for (auto _ : state) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) state.SkipWithError("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        pid_t pid = SpawnShell("cat /dev/zero", &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        for (int64_t left = catBytes; left > 0;) {
            ssize_t got = read(ends[0], buf.data(), size_t(std::min<int64_t>(left, blockSize)));
            if (got <= 0) break;
            left -= got;
        }
        kill(pid, SIGKILL);
        close(ends[0]);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    state.SetBytesProcessed(state.iterations() * catBytes);
}

void PipeStreamReadFromCat(benchmark::State& state) {
    std::vector<char> buf(blockSize);
    for (auto _ : state) {
        auto process = CreateChildProcess(u"cat /dev/zero");
        auto& pipe = *process->Pipe();
        for (int64_t left = catBytes; left > 0; left -= blockSize)
            pipe.ReadBytes(buf.data(), blockSize);
        process->Terminate();
        process->Close();
    }
    state.SetBytesProcessed(state.iterations() * catBytes);
}

} // namespace

BENCHMARK(BareSpawnAndWait)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(ChildProcessStartAndWait)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BareReadFromCat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PipeStreamReadFromCat)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    StartProcessModule();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
