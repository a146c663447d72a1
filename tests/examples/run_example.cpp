// run_example <program> <frames> <screenshot> [<reference>]: runs an example
// unattended for that many frames ("-": --screenshot alone), as the README's
// screenshots are made, and checks that it ended with exit code 0 and drew a
// screenshot of more than one colour. With a reference path it runs the
// example again on the fixed-function driver (ZANDREL_GL=compat) into that
// file, and the two pictures must agree within 2 units per channel in at
// least 99.5 % of their pixels: the edges of turning, filtered pictures are
// sampled a little differently; both runs are on a clock of frames
// (--frame-ms 16), so that what moves by time lands in the same place.
// $ZANDREL_SCREENSHOTS, when set, names the
// folder for the screenshot instead (scripts/screenshots.sh).
#include <zandrel/pixmap.hpp>

#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unordered_set>

extern char** environ;

using namespace zandrel;

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "run_example: %s\n", why.c_str());
    return 1;
}

bool onFrameClock = false;

int RunUnattended(const char* program, const char* frames, const std::string& screenshot) {
    const char* argv[] = {program,
                          "--frames",
                          frames,
                          "--screenshot",
                          screenshot.c_str(),
                          onFrameClock ? "--frame-ms" : nullptr,
                          "16",
                          nullptr};
    bool alone = std::string(frames) == "-";
    pid_t pid = 0;
    char** args = const_cast<char**>(alone ? argv + 2 : argv);
    if (alone) args[0] = const_cast<char*>(program);
    if (posix_spawn(&pid, program, nullptr, nullptr, args, environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t CountColours(const Ref<TPixmap>& picture) {
    std::unordered_set<uint32_t> colours;
    for (int y = 0; y < PixmapHeight(picture); ++y)
        for (int x = 0; x < PixmapWidth(picture); ++x)
            colours.insert(ReadPixel(picture, x, y));
    return colours.size();
}

int Channel(uint32_t argb, int shift) {
    return static_cast<int>((argb >> shift) & 0xFF);
}

// The share of pixels whose channels all lie within 2 units of the other's.
double AgreeingShare(const Ref<TPixmap>& a, const Ref<TPixmap>& b) {
    int width = PixmapWidth(a), height = PixmapHeight(a);
    if (width != PixmapWidth(b) || height != PixmapHeight(b) || width * height == 0) return 0;
    long agreeing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t p = ReadPixel(a, x, y), q = ReadPixel(b, x, y);
            bool close = true;
            for (int shift : {0, 8, 16})
                close = close && std::abs(Channel(p, shift) - Channel(q, shift)) <= 2;
            agreeing += close;
        }
    return static_cast<double>(agreeing) / (static_cast<double>(width) * height);
}

int CompareWithFixedFunction(const char* program, const char* frames, const Ref<TPixmap>& picture,
                             const std::string& reference) {
    std::remove(reference.c_str());
    const char* asked = std::getenv("ZANDREL_GL");
    std::string previous = asked ? asked : "";
    setenv("ZANDREL_GL", "compat", 1);
    int code = RunUnattended(program, frames, reference);
    if (asked)
        setenv("ZANDREL_GL", previous.c_str(), 1);
    else
        unsetenv("ZANDREL_GL");
    if (code != 0)
        return Fail(std::string(program) + " on compat ended with " + std::to_string(code));
    auto expected = LoadPixmap(FromUtf8(reference));
    if (!expected) return Fail("no screenshot at " + reference);
    double share = AgreeingShare(picture, expected);
    if (share < 0.995)
        return Fail("only " + std::to_string(share * 100) + " % of the pixels agree with " +
                    reference);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5)
        return Fail("usage: run_example <program> <frames> <screenshot> [<reference>]");
    std::string screenshot = argv[3];
    if (const char* folder = std::getenv("ZANDREL_SCREENSHOTS"))
        screenshot = std::string(folder) + "/" + screenshot.substr(screenshot.rfind('/') + 1);
    std::remove(screenshot.c_str());
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    onFrameClock = argc == 5;
    int code = RunUnattended(argv[1], argv[2], screenshot);
    if (code != 0) return Fail(std::string(argv[1]) + " ended with " + std::to_string(code));
    StartPixmapModule();
    auto picture = LoadPixmap(FromUtf8(screenshot));
    if (!picture) return Fail("no screenshot at " + screenshot);
    if (CountColours(picture) < 2) return Fail(screenshot + " is one colour");
    return argc == 5 ? CompareWithFixedFunction(argv[1], argv[2], picture, argv[4]) : 0;
}
