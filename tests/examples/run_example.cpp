// run_example <program> <frames> <screenshot>: runs an example unattended
// for that many frames ("-": --screenshot alone), as the README's screenshots are made, and checks
// that it ended with exit code 0 and drew a screenshot of more than one
// colour. $ZANDREL_SCREENSHOTS, when set, names the folder for the
// screenshot instead (scripts/screenshots.sh).
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

int RunUnattended(const char* program, const char* frames, const std::string& screenshot) {
    const char* argv[] = {program, "--frames", frames, "--screenshot", screenshot.c_str(), nullptr};
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Fail("usage: run_example <program> <frames> <screenshot>");
    std::string screenshot = argv[3];
    if (const char* folder = std::getenv("ZANDREL_SCREENSHOTS"))
        screenshot = std::string(folder) + "/" + screenshot.substr(screenshot.rfind('/') + 1);
    std::remove(screenshot.c_str());
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    int code = RunUnattended(argv[1], argv[2], screenshot);
    if (code != 0) return Fail(std::string(argv[1]) + " ended with " + std::to_string(code));
    StartPixmapModule();
    auto picture = LoadPixmap(FromUtf8(screenshot));
    if (!picture) return Fail("no screenshot at " + screenshot);
    if (CountColours(picture) < 2) return Fail(screenshot + " is one colour");
    return 0;
}
