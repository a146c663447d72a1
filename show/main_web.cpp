// The show as a page. By default it plays as on a desktop, on the browser's
// clock and through its audio, and tells the page where it is: when its first
// frame was drawn, and each scene's first frame and start time, from which
// the page has the frame rates. Options (the page's `args`):
//   --virtual-clock      the clock advances 1000/60 ms per frame, whatever
//                        the real time, as the capture tool's does, and no
//                        sound is played
//   --grab S,S,...       on that clock, the frames at these whole show
//                        seconds are handed to the page as PNG data URLs
//   --until S            ends the show S seconds after the music started
#include "show.hpp"

#include <emscripten.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

using namespace zandrel;

constexpr int FramesPerSecond = 60;

struct PageRun {
    bool virtualClock = false;
    std::set<int> grabMillis;
    double untilSeconds = 1e9;
    bool running = false; // from the lead-in on
    int frame = 0;        // frames drawn since then
    int32_t clock = 0;    // the virtual clock, milliseconds
    int32_t startClock = 0;
};

PageRun run;

std::set<int> ParseSeconds(const std::string& list) {
    std::set<int> millis;
    size_t at = 0;
    while (at < list.size()) {
        size_t comma = list.find(',', at);
        if (comma == std::string::npos) comma = list.size();
        millis.insert(std::atoi(list.substr(at, comma - at).c_str()) * 1000);
        at = comma + 1;
    }
    return millis;
}

void ParseArguments() {
    auto arguments = CommandArguments();
    for (size_t i = 1; i < arguments.size(); ++i) {
        std::string name = ToUtf8(arguments[i]);
        std::string value = i + 1 < arguments.size() ? ToUtf8(arguments[i + 1]) : "";
        if (name == "--virtual-clock") {
            run.virtualClock = true;
        } else if (name == "--grab") {
            run.grabMillis = ParseSeconds(value);
            ++i;
        } else if (name == "--until") {
            run.untilSeconds = std::atof(value.c_str());
            ++i;
        }
    }
}

int32_t VirtualClock() {
    return run.clock;
}

// The back buffer, finished but not yet shown, as the capture tool reads it.
void GrabFrame(int seconds) {
    auto grabbed = GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
    if (!grabbed) return;
    auto pixels = ConvertPixmap(grabbed, PixelFormat::FormatRGBA8888);
    EM_ASM(
        {
            const canvas = document.createElement('canvas');
            canvas.width = $1;
            canvas.height = $2;
            const context = canvas.getContext('2d');
            const image = context.createImageData($1, $2);
            for (let y = 0; y < $2; ++y)
                image.data.set(HEAPU8.subarray($3 + y * $4, $3 + y * $4 + $1 * 4), y * $1 * 4);
            context.putImageData(image, 0, 0);
            window.zandrelPage.grabbed($0, canvas.toDataURL('image/png'));
        },
        seconds, pixels->Width(), pixels->Height(), pixels->Pixels(), pixels->Pitch());
}

double ShowSeconds() {
    return (run.clock - run.startClock) / 1000.0;
}

Ref<Object> OnFlip(int, const Ref<Object>& data, const Ref<Object>&) {
    if (!run.running) return data;
    if (run.frame == 0) EM_ASM({ window.zandrelPage.showFrame(); });
    if (run.frame % FramesPerSecond == 0)
        EM_ASM({ window.zandrelPage.shownFrames = $0; }, run.frame);
    ++run.frame;
    if (run.virtualClock) {
        int shown = run.clock - run.startClock;
        if (run.grabMillis.count(shown)) GrabFrame(shown / 1000);
        run.clock = run.startClock +
                    static_cast<int32_t>(static_cast<int64_t>(run.frame) * 1000 / FramesPerSecond);
    } else {
        run.clock = Millisecs();
    }
    if (ShowSeconds() > run.untilSeconds) ExitProgram();
    return data;
}

// Exit handlers run newest first: added once the display and the sound are
// up, this one tells the page before they close.
void OnScene(int scene) {
    if (!run.running) {
        run.running = true;
        run.startClock = run.virtualClock ? run.clock : Millisecs();
        AddExitHandler([] { EM_ASM({ window.zandrelPage.showEnded($0); }, run.frame); });
    }
    EM_ASM({ window.zandrelPage.sceneStarted($0, $1); }, scene, run.frame);
}

void Prepare() {
    ParseArguments();
    StartZandrel();
    if (run.virtualClock) {
        SetMillisecsSource(VirtualClock);
        StartOfflineMixer(VirtualClock);
    }
    show::SetSceneListener(OnScene);
    AddHook(FlipHook(), OnFlip);
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        Prepare();
        return show::RunShow();
    });
}
