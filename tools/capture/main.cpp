// Runs the show offline: a virtual millisecond clock advanced one frame per
// Flip, every frame read back and written as PNG, the music mixed in step
// into a WAV file, an MP4 of both when ffmpeg is installed, and a table of
// frames and render times per scene.
#include "options.hpp"
#include "scene_report.hpp"
#include "wav_writer.hpp"

#include "show.hpp"
#include <zandrel/zandrel.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace capture {

namespace {

using namespace zandrel;
using namespace zandrel::show;
using Clock = std::chrono::steady_clock;

constexpr int audioRate = 44100;
constexpr double showSeconds = 163 + 1;

struct Recorder {
    Options options;
    std::string folder;
    int32_t clock = 0;      // the virtual clock, milliseconds
    int clockRemainder = 0; // of 1000 / fps
    int audioRemainder = 0; // of 44100 / fps
    int frame = 0;
    WavWriter wav;
    std::vector<int16_t> audio;
    SceneReport report;
    Clock::time_point frameStart = Clock::now();
    bool running = false; // from the lead-in on; flips while the display opens don't count
    bool finished = false;
    bool failed = false; // a write failed: the run is ending, nothing more is written
    int firstFrameWritten = -1, framesWritten = 0;
    int32_t firstFrameClock = 0;  // the virtual clock when that frame was drawn
    int32_t audioStartClock = -1; // the clock at music.wav's first sample
};

Recorder recorder;

// A file that cannot be written (a full disk) ends the run at once with one
// line and exit code 1; the exit handlers still close the display and mixer.
[[noreturn]] void Stop(const std::string& what) {
    std::fprintf(stderr, "%szandrel-capture: %s\n", isatty(2) ? "\n" : "", what.c_str());
    recorder.failed = true;
    RunExitHandlers();
    std::fflush(nullptr);
    std::_Exit(1);
}

[[noreturn]] void StopWriting(const std::string& path) {
    Stop("unable to write " + path);
}

int32_t VirtualClock() {
    return recorder.clock;
}

int FrameMillis() {
    const Options& o = recorder.options;
    if (o.frameMillis > 0) return o.frameMillis;
    int millis = 1000 / o.fps;
    recorder.clockRemainder += 1000 % o.fps;
    if (recorder.clockRemainder >= o.fps) {
        recorder.clockRemainder -= o.fps;
        ++millis;
    }
    return millis;
}

int AudioFramesFor(int millis) {
    const Options& o = recorder.options;
    if (o.frameMillis > 0) return audioRate / 1000 * millis;
    int frames = audioRate / o.fps;
    recorder.audioRemainder += audioRate % o.fps;
    if (recorder.audioRemainder >= o.fps) {
        recorder.audioRemainder -= o.fps;
        ++frames;
    }
    return frames;
}

double ShowTime() {
    return (recorder.clock - recorder.options.startClock) / 1000.0;
}

bool InRange() {
    double t = ShowTime();
    return t >= recorder.options.from && t <= recorder.options.to;
}

bool WantFrame() {
    const Options& o = recorder.options;
    return o.frames && !o.realtime && recorder.frame % o.every == 0 && InRange();
}

void WriteFrame() {
    char name[32];
    std::snprintf(name, sizeof name, "/frames/%06d.png", recorder.frame);
    auto pixels = GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
    if (!pixels) throw RuntimeError(std::string("Unable to read back frame ") + name);
    if (!SavePixmapPNG(pixels, recorder.folder + name, 1)) StopWriting(recorder.folder + name);
    if (recorder.firstFrameWritten < 0) {
        recorder.firstFrameWritten = recorder.frame;
        recorder.firstFrameClock = recorder.clock;
    }
    ++recorder.framesWritten;
}

void ShowProgress() {
    if (recorder.frame % 30 != 0 || !isatty(2)) return;
    double done = std::min(1.0, ShowTime() / showSeconds);
    int filled = static_cast<int>(done * 40);
    std::fprintf(stderr, "\r[%s%s] %3d%%  scene %2d  frame %d", std::string(filled, '#').c_str(),
                 std::string(40 - filled, '.').c_str(), static_cast<int>(done * 100),
                 recorder.report.CurrentScene(), recorder.frame);
}

// The mixer runs from the start, so that the music of the range sounds as it
// does in the whole show; music.wav keeps only the range's part.
void MixAudio(int millis) {
    int frames = AudioFramesFor(millis);
    recorder.audio.resize(static_cast<size_t>(frames) * 2);
    RenderOfflineMixer(recorder.audio.data(), frames);
    if (!InRange()) return;
    if (recorder.audioStartClock < 0) recorder.audioStartClock = recorder.clock;
    if (!recorder.wav.Append(recorder.audio.data(), frames))
        StopWriting(recorder.folder + "/music.wav");
}

// Runs at the start of every Flip, before the back buffer is shown.
Ref<Object> OnFlip(int, const Ref<Object>& data, const Ref<Object>&) {
    if (!recorder.running) return data;
    // On the real clock the table shows the system clock the show reads.
    if (recorder.options.realtime) recorder.clock = Millisecs();
    double renderMillis =
        std::chrono::duration<double, std::milli>(Clock::now() - recorder.frameStart).count();
    recorder.report.FrameDone(recorder.frame, recorder.clock, renderMillis);
    if (!recorder.options.realtime) {
        if (WantFrame()) WriteFrame();
        int millis = FrameMillis();
        if (recorder.options.audio) MixAudio(millis);
        recorder.clock += millis;
    }
    ShowProgress();
    ++recorder.frame;
    if (ShowTime() > std::min(recorder.options.until, recorder.options.to)) ExitProgram();
    recorder.frameStart = Clock::now();
    return data;
}

bool HasProgram(const char* name) {
    return !FindProgramOnPath(FromUtf8(name)).empty();
}

// Why the frames written cannot make a video; empty when they can.
std::string NoVideoReason() {
    const Options& o = recorder.options;
    if (o.every != 1) return "--every leaves gaps between the frames";
    if (o.frameMillis > 0) return "--frame-ms gives the frames no steady rate";
    if (recorder.framesWritten == 0) return "no frame fell inside --from and --to";
    if (!HasProgram("ffmpeg")) return "ffmpeg is not installed";
    return std::string();
}

std::string Seconds(int32_t millis) {
    return std::to_string(millis / 1000) + "." + std::to_string(1000 + millis % 1000).substr(1);
}

// The frames written, from the first, and the music of the same span.
void MakeVideo() {
    const Options& o = recorder.options;
    if (!o.video || o.realtime || !o.frames) return;
    if (std::string reason = NoVideoReason(); !reason.empty()) {
        std::fprintf(stderr, "zandrel-capture: no show.mp4: %s\n", reason.c_str());
        return;
    }
    std::string f = recorder.folder, audio;
    if (o.audio && recorder.audioStartClock >= 0) {
        int32_t offset = recorder.firstFrameClock - recorder.audioStartClock;
        audio = " -ss " + Seconds(offset) + " -i '" + f + "/music.wav' -c:a aac -shortest";
    }
    std::string command = "ffmpeg -y -loglevel error -framerate " + std::to_string(o.fps) +
                          " -start_number " + std::to_string(recorder.firstFrameWritten) + " -i '" +
                          f + "/frames/%06d.png'" + audio + " -frames:v " +
                          std::to_string(recorder.framesWritten) +
                          " -c:v libx264 -pix_fmt yuv420p '" + f + "/show.mp4'";
    std::fprintf(stderr, "Making %s/show.mp4\n", f.c_str());
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "ffmpeg failed\n");
}

// Runs on the way out, after the timeline or when --until ends it early.
void Finish() {
    if (recorder.finished) return;
    recorder.finished = true;
    bool wavWritten = recorder.wav.Close();
    if (recorder.failed) return;
    if (!wavWritten) StopWriting(recorder.folder + "/music.wav");
    if (isatty(2)) std::fputc('\n', stderr);
    std::string table = recorder.report.Table();
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
    std::string csv = recorder.folder + "/scenes.csv";
    try {
        SaveByteString(FromBytes(recorder.report.Csv()), csv);
    } catch (const RuntimeError&) {
        StopWriting(csv);
    }
    MakeVideo();
}

std::string AbsoluteFolder(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    return ToUtf8(InitialFolder()) + "/" + path;
}

void Prepare(const Options& options) {
    recorder.options = options;
    recorder.folder = AbsoluteFolder(options.out);
    if (!MakeFolder(FromUtf8(recorder.folder + "/frames"), true))
        Stop("unable to make the folder " + recorder.folder + "/frames");
    // Offline, the music is mixed here: no sound card is needed or opened.
    if (!options.realtime) setenv("SDL_AUDIODRIVER", "dummy", 1);
    StartZandrel();
    if (!options.realtime) {
        recorder.clock = options.startClock;
        SetMillisecsSource(VirtualClock);
        if (options.audio) {
            StartOfflineMixer(VirtualClock);
            if (!recorder.wav.Open(recorder.folder + "/music.wav", audioRate))
                StopWriting(recorder.folder + "/music.wav");
        }
    }
    SetSceneListener([](int scene) {
        if (!recorder.running) {
            recorder.frameStart = Clock::now();
            // On the real clock the show's time counts from the lead-in, right
            // after the music started, not from whenever the clock began.
            if (recorder.options.realtime) recorder.options.startClock = Millisecs();
        }
        recorder.running = true;
        recorder.report.SceneStarted(scene, recorder.frame, recorder.clock);
    });
    AddHook(FlipHook(), OnFlip);
    AddExitHandler(Finish);
}

// Without a display of its own choosing the tool starts again inside a
// private virtual X server the size of the show's display.
void EnterVirtualDisplay(int argc, char** argv, const Options& options) {
    if (options.useDisplay || std::getenv("ZANDREL_CAPTURE_DISPLAY") || !HasProgram("xvfb-run"))
        return;
    setenv("ZANDREL_CAPTURE_DISPLAY", "1", 1);
    std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                               const_cast<char*>("-s"), const_cast<char*>("-screen 0 800x600x24")};
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::perror("xvfb-run");
}

} // namespace

} // namespace capture

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::fputs(capture::Usage(), stdout);
        return 0;
    }
    std::string error;
    auto options = capture::ParseOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "zandrel-capture: %s\n%s", error.c_str(), capture::Usage());
        return 2;
    }
    capture::EnterVirtualDisplay(argc, argv, *options);
    return zandrel::RunProgram(argc, argv, [&] {
        capture::Prepare(*options);
        zandrel::show::ShowMedia media;
        if (!zandrel::show::PrepareShow(media)) return 1;
        zandrel::show::RunTimeline(media);
        return 0;
    });
}
