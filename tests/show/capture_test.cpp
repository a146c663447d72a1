// The show run through the capture tool on its virtual clock.
#include "capture_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/pixmap.hpp>
#include <zandrel/stream.hpp>

#include <algorithm>
#include <cstdlib>
#include <map>

using namespace zandrel;
using test::CaptureRun;
using test::RunCapture;
using test::SceneRow;

namespace {

std::string FramePath(const std::string& out, int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frames/%06d.png", frame);
    return out + name;
}

uint32_t Rgb(const Ref<TPixmap>& p, int x, int y) {
    return p->ReadPixel(x, y) & 0xFFFFFF;
}

} // namespace

// With the music started at 12.900 s of the clock, the lead-in lasts until
// the clock's whole seconds have counted four: scene 1 starts with the first
// frame after the one that saw 16.000 s. The music is mixed in step.
TEST(Capture, SceneOneStartsWhenFourSecondsHaveBeenCounted) {
    test::TempFolder folder;
    std::string out = folder / "start";
    CaptureRun run = RunCapture(out, "--no-frames --start-clock 12900 --until 4.5");
    ASSERT_EQ(run.exitCode, 0);
    const SceneRow& lead = run.scenes[0];
    const SceneRow& first = run.scenes[1];
    ASSERT_TRUE(first.started);
    EXPECT_EQ(lead.firstClock, 12900);
    // The lead-in's last frame read 16.000 s or the frame time after it (16
    // or 17 ms at 60 frames a second); scene 1's first frame follows it.
    EXPECT_GE(first.firstClock, 16000 + 16);
    EXPECT_LE(first.firstClock, 16000 + 2 * 17);
    EXPECT_EQ(first.firstFrame, lead.frames);
    // 4.5 s of music and a frame more, mixed frame by frame at 44100 Hz.
    long long wavBytes = FileByteSize(FromBytes(out + "/music.wav")) - 44;
    long long frames = lead.frames + first.frames;
    EXPECT_NEAR(wavBytes / 4, frames * 44100 / 60, 2);
}

// Four seconds a frame: scenes whose mark has passed when they begin draw
// nothing, and the show still ends with exit code 0 after scene 16.
TEST(Capture, PassedScenesDrawNothingAndTheShowEnds) {
    test::TempFolder folder;
    CaptureRun run = RunCapture(folder / "coarse", "--no-frames --no-audio --frame-ms 4000");
    ASSERT_EQ(run.exitCode, 0);
    for (int scene = 0; scene <= 16; ++scene)
        EXPECT_TRUE(run.scenes[scene].started) << scene;
    EXPECT_EQ(run.scenes[14].frames, 0); // 124 was counted in scene 13's frame
    EXPECT_GT(run.scenes[16].frames, 0);
}

// Frames written once a second: scene 2 shows its picture exactly, and in
// scene 10 the background is three times the clear colour.
TEST(Capture, RenderedFrames) {
    test::TempFolder folder;
    std::string out = folder / "frames";
    CaptureRun run =
        RunCapture(out, "--no-audio --frame-ms 100 --every 10 --from 21 --to 94 --until 94");
    ASSERT_EQ(run.exitCode, 0);

    auto still = LoadPixmap(FramePath(out, 210));
    auto picture = LoadPixmap(std::string(ZANDREL_SHOW_DIR) + "/saippua.jpg");
    ASSERT_TRUE(still && picture);
    int different = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            different += Rgb(still, x, y) != Rgb(picture, x, y);
    EXPECT_EQ(different, 0);

    auto burst = LoadPixmap(FramePath(out, 930));
    ASSERT_TRUE(burst);
    // Clear colour plus two blurs: (3, 30, 150), less what rounding each of
    // the sixteen additions to the frame buffer's 8 bits takes away.
    auto nearBackground = [](uint32_t rgb) {
        int r = rgb >> 16 & 255, g = rgb >> 8 & 255, b = rgb & 255;
        return std::abs(r - 3) <= 4 && std::abs(g - 30) <= 4 && std::abs(b - 150) <= 4;
    };
    // The ovals cover much of the frame: the background is its commonest colour.
    std::map<uint32_t, int> counts;
    for (int y = 20; y < 600; y += 40)
        for (int x = 20; x < 600; x += 40)
            counts[Rgb(burst, x, y)]++;
    auto commonest = std::max_element(counts.begin(), counts.end(),
                                      [](auto& a, auto& b) { return a.second < b.second; });
    EXPECT_TRUE(nearBackground(commonest->first)) << std::hex << commonest->first;
    EXPECT_GT(commonest->second, 40);
}

// A range of frames makes its own video, or the tool says in one line why not.
TEST(Capture, ARangeOfFramesMakesAVideoOrSaysWhyNot) {
    test::TempFolder folder;
    std::string out = folder / "range";
    CaptureRun run = RunCapture(out, "--from 1 --to 1.2 --until 1.3");
    ASSERT_EQ(run.exitCode, 0);
    if (PathKind(FromBytes(out + "/show.mp4")) == FileKind::Regular) {
        EXPECT_TRUE(run.messages.empty());
    } else {
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0], "zandrel-capture: no show.mp4: ffmpeg is not installed");
    }
}

// A range ends the run at its end, and the music file holds the range's
// music alone, frame for frame.
TEST(Capture, ARangeEndsTheRunAndHoldsItsMusic) {
    test::TempFolder folder;
    std::string out = folder / "short";
    CaptureRun run = RunCapture(out, "--no-video --from 2 --to 2.5");
    ASSERT_EQ(run.exitCode, 0);
    int framesRun = 0;
    for (auto& [scene, row] : run.scenes)
        framesRun += row.frames;
    EXPECT_LE(framesRun, 2.5 * 60 + 2);
    int framesWritten = 0;
    for (int frame = 0; frame <= framesRun; ++frame)
        framesWritten += PathKind(FromBytes(FramePath(out, frame))) == FileKind::Regular;
    EXPECT_EQ(framesWritten, 31);
    long long wavBytes = FileByteSize(FromBytes(out + "/music.wav")) - 44;
    EXPECT_NEAR(wavBytes / 4, framesWritten * 44100 / 60, 2);
}

// A file the tool cannot write (a full disk) ends the run at once: one line
// naming it, exit code 1.
TEST(Capture, StopsWhenAFileCannotBeWritten) {
    struct Case {
        const char* options;
        bool fullFromStart;
        const char* file;
    } cases[] = {
        {"--no-audio --frame-ms 100 --until 30", false, "/frames/"},
        {"--no-frames --until 3", false, "/music.wav"},
        {"--no-frames --no-audio --frame-ms 4000", true, "/scenes.csv"},
    };
    for (const Case& c : cases) {
        test::SmallFilesystem disk(64 << 10);
        if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
        if (c.fullFromStart) disk.Fill();
        test::TempFolder logs;
        std::string out = disk / "out";
        CaptureRun run = RunCapture(out, c.options, logs / "log");
        EXPECT_EQ(run.exitCode, 1) << c.file;
        ASSERT_EQ(run.messages.size(), 1u) << c.file;
        EXPECT_EQ(run.messages[0].rfind("zandrel-capture: unable to write " + out + c.file, 0), 0u)
            << run.messages[0];
    }
}
