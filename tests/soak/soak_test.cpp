// Endurance: each kind of work repeated in rounds in one process; what the
// process holds after every round (resident memory, open descriptors) must
// not grow past each kind's budget. ZANDREL_SOAK_ROUNDS or
// ZANDREL_SOAK_MINUTES sets the rounds (scripts/soak.sh runs many); each
// round's figures and time go to standard output.
#include "audio_test_support.hpp"

#include <zandrel/zandrel.hpp>
#ifdef ZANDREL_SHOW_DIR
#include "show.hpp"
#endif

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace zandrel;
using namespace zandrel::test;

namespace {

struct Footprint {
    long residentKb = 0;
    int descriptors = 0;
};

// Free pages the allocator keeps are handed back first: what stays resident
// is then what is in use, not how the heap happened to be cut up.
Footprint Measure() {
    malloc_trim(0);
    Footprint footprint;
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    footprint.residentKb = resident * (sysconf(_SC_PAGESIZE) / 1024);
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++footprint.descriptors;
    return footprint;
}

using SteadyClock = std::chrono::steady_clock;

// ZANDREL_SOAK_ROUNDS rounds (3 by default), or with ZANDREL_SOAK_MINUTES as
// many rounds as fit in this test's even share of that time (two at least).
class RoundLimit {
public:
    RoundLimit() {
        if (const char* rounds = std::getenv("ZANDREL_SOAK_ROUNDS"))
            rounds_ = std::max(2, std::atoi(rounds));
        if (const char* minutes = std::getenv("ZANDREL_SOAK_MINUTES")) {
            int tests = std::max(1, testing::UnitTest::GetInstance()->test_to_run_count());
            seconds_ = std::atof(minutes) * 60 / tests;
        }
    }

    bool More(int roundsDone) const {
        if (seconds_ <= 0) return roundsDone < rounds_;
        std::chrono::duration<double> spent = SteadyClock::now() - start_;
        return roundsDone < 2 || spent.count() < seconds_;
    }

private:
    int rounds_ = 3;
    double seconds_ = 0;
    SteadyClock::time_point start_ = SteadyClock::now();
};

// How much a kind of work may leave resident: bytes for each of the
// operations a round does.
struct Budget {
    int operations;
    double bytesPerOperation;
};

// The growth a round, fitted over the rounds by least squares: one round's
// noise in the allocator counts for little, a steady leak adds up.
double GrowthPerRound(const std::vector<double>& values) {
    double n = static_cast<double>(values.size()), meanX = (n - 1) / 2, meanY = 0;
    for (double value : values)
        meanY += value / n;
    double covariance = 0, variance = 0;
    for (size_t x = 0; x < values.size(); ++x) {
        covariance += (static_cast<double>(x) - meanX) * (values[x] - meanY);
        variance += (static_cast<double>(x) - meanX) * (static_cast<double>(x) - meanX);
    }
    return covariance / variance;
}

// Runs `work` for the rounds after a warm-up round: the resident memory's
// growth over the rounds must stay within the budget, and the descriptors
// where the first round left them.
void Soak(const char* name, Budget budget, const std::function<void()>& work) {
    // One unmeasured round first: what is made once (caches, the allocator's
    // arenas, lazily loaded libraries, the measuring itself) is not growth.
    RoundLimit limit;
    work();
    Measure();
    Footprint first;
    std::vector<double> residentBytes;
    for (int round = 1; limit.More(round - 1); ++round) {
        auto start = SteadyClock::now();
        work();
        Footprint now = Measure();
        auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
        std::printf("soak %s round %d: rss %ld kB, fds %d, %lld ms\n", name, round, now.residentKb,
                    now.descriptors, static_cast<long long>(took.count()));
        std::fflush(stdout);
        residentBytes.push_back(static_cast<double>(now.residentKb) * 1024);
        if (round == 1) first = now;
        EXPECT_EQ(now.descriptors, first.descriptors) << name << " round " << round;
    }
    double perOperation = GrowthPerRound(residentBytes) / budget.operations;
    std::printf("soak %s: %.2f bytes an operation\n", name, perOperation);
    EXPECT_LE(perOperation, budget.bytesPerOperation) << name;
}

} // namespace

TEST(Soak, SocketStreamOpensAndCloses) {
    auto listener = CreateTCPSocket();
    ASSERT_TRUE(listener->Bind(0, LoopbackIp) && listener->Listen(64));
    std::atomic<bool> stop{false};
    // The server closes first, so that the connections' waits after closing
    // are on its side and the client's ports are free again at once.
    std::thread server([&] {
        while (!stop)
            if (auto peer = listener->Accept(100)) {
                peer->Send("x", 1);
                peer->Close();
            }
    });
    String url = u"tcp::127.0.0.1:" + FromInt(listener->LocalPort());
    constexpr int Opens = 10000;
    Soak("sockets", {Opens, 2}, [&] {
        for (int i = 0; i < Opens; ++i) {
            auto stream = OpenReadStream(url);
            ASSERT_TRUE(stream);
            char byte = 0;
            stream->ReadBytes(&byte, 1);
            ASSERT_EQ(byte, 'x');
            // The server's close has come: its side is gone before measuring.
            EXPECT_EQ(stream->Read(&byte, 1), 0);
            stream->Close();
        }
    });
    stop = true;
    server.join();
}

TEST(Soak, ChildProcessesWithPipes) {
    constexpr int Starts = 2000;
    Soak("processes", {Starts, 48}, [] {
        for (int i = 0; i < Starts; ++i) {
            auto child = CreateChildProcess(u"echo soak");
            ASSERT_TRUE(child);
            // The pipe gives what has come so far, so the line is waited for.
            String line;
            for (int waited = 0; line.empty() && waited < 5000; ++waited) {
                line = child->Pipe()->ReadLine();
                if (line.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            child->Close();
            ASSERT_EQ(line, u"soak");
        }
    });
}

TEST(Soak, SoundLoadsAndPlays) {
    MixerClose();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    ASSERT_EQ(MixerInit(), 0);
    SetAudioDriver(New<TMixerAudioDriver>());
    TempFolder folder;
    std::vector<int16_t> tone(4410);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(i % 100 * 300 - 15000);
    WriteFileBytes(folder / "tone.wav", PcmWave(1, 44100, 16, Pcm16(tone)));
    std::string path = folder / "tone.wav";
    constexpr int Plays = 500;
    Soak("sounds", {Plays, 64}, [&] {
        for (int i = 0; i < Plays; ++i) {
            auto sound = LoadSound(path);
            ASSERT_TRUE(sound);
            auto channel = PlaySound(sound);
            ASSERT_TRUE(channel);
            // A tenth of a second each: fifty at a time, then they end.
            if (i % 50 == 49) std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        // Every voice ends before the round is measured.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    MixerClose();
    SetAudioDriver(New<TAudioDriver>());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");
}

// Each window leaves events behind in the window system's queue until the
// program reads its events; a program that never does keeps them all (about
// 5 kB a window). This one reads them once a round, as any program that opens
// windows over and over does. What stays then is the platform's: a bare loop
// of SDL windows with GL contexts under Xvfb and Mesa keeps about 0.15 kB a
// window; a leak of this layer (a context, a texture, a window's events) is
// kilobytes a window.
TEST(Soak, GraphicsOpensAndCloses) {
    constexpr int Opens = 200;
    Soak("graphics", {Opens, 512}, [] {
        for (int i = 0; i < Opens; ++i) {
            auto g = CreateGraphics(160, 120);
            ASSERT_TRUE(g);
            CloseGraphics(g);
        }
        PollSystemEvents();
    });
}

#ifdef ZANDREL_SHOW_DIR
namespace {

// Half a second of the show's clock per frame: llvmpipe draws the heavy
// feedback scenes at a few frames a second, and every frame at 60 Hz would
// make a run a quarter of an hour. Every scene still gets four frames or more.
constexpr int ShowFrameMillis = 500;
int showClock = 0;

int ShowClock() {
    return showClock;
}

Ref<Object> AdvanceShowClock(int, const Ref<Object>& data, const Ref<Object>&) {
    showClock += ShowFrameMillis;
    return data;
}

} // namespace

TEST(Soak, ShowTimelineRuns) {
    auto folder = std::filesystem::current_path();
    std::filesystem::current_path(ZANDREL_SHOW_DIR);
    show::ShowMedia media;
    ASSERT_TRUE(show::PrepareShow(media));
    SetMillisecsSource(ShowClock);
    AddHook(FlipHook(), AdvanceShowClock);
    std::vector<int> scenes;
    show::SetSceneListener([&](int scene) { scenes.push_back(scene); });
    Soak("show", {1, 64 << 10}, [&] {
        scenes.clear();
        show::RunTimeline(media);
        ASSERT_EQ(scenes.size(), 17u);
        EXPECT_EQ(scenes.back(), 16);
    });
    show::SetSceneListener(nullptr);
    RemoveHook(FlipHook(), AdvanceShowClock);
    SetMillisecsSource(nullptr);
    media = {};
    EndGraphics();
    std::filesystem::current_path(folder);
}
#endif
