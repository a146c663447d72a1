// run_example <program> <frames> <screenshot> [<reference>]: runs an example
// unattended for that many frames ("-": --screenshot alone) on a clock of
// frames (--frame-ms 16), as the README's screenshots are made, and checks
// that it ended with exit code 0 and drew a screenshot of more than one
// colour. With a reference picture, the screenshot must show what it does:
// compared over the content (the pixels where either picture is off the
// reference's commonest colour, its background, by more than 2 units per
// channel), 99 % of the content within 2 units and no connected patch of
// wrong pixels larger than 32. A line of text missing, a picture turned
// otherwise or glyphs of another font are each larger.
// $ZANDREL_SCREENSHOTS, when set, names the
// folder for the screenshot instead (scripts/screenshots.sh).
#include <zandrel/pixmap.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

extern char** environ;

using namespace zandrel;

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "run_example: %s\n", why.c_str());
    return 1;
}

int RunUnattended(const char* program, const char* frames, const std::string& screenshot) {
    const char* argv[] = {program,      "--frames", frames, "--screenshot", screenshot.c_str(),
                          "--frame-ms", "16",       nullptr};
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

// The most any channel of the two colours lies apart.
int Apart(uint32_t p, uint32_t q) {
    int most = 0;
    for (int shift : {0, 8, 16})
        most =
            std::max(most, std::abs(static_cast<int>((p >> shift & 0xFF) - (q >> shift & 0xFF))));
    return most;
}

int LargestPatch(std::vector<bool> marked, int width) {
    int largest = 0;
    for (size_t start = 0; start < marked.size(); ++start) {
        if (!marked[start]) continue;
        std::vector<size_t> stack{start};
        marked[start] = false;
        int size = 0;
        while (!stack.empty()) {
            size_t i = stack.back();
            stack.pop_back();
            ++size;
            size_t x = i % static_cast<size_t>(width);
            for (size_t next : {x > 0 ? i - 1 : i, x + 1 < static_cast<size_t>(width) ? i + 1 : i,
                                i >= static_cast<size_t>(width) ? i - width : i, i + width})
                if (next < marked.size() && marked[next]) {
                    marked[next] = false;
                    stack.push_back(next);
                }
        }
        largest = std::max(largest, size);
    }
    return largest;
}

// Why the picture does not show what the reference does; empty when it does.
std::string Disagreement(const Ref<TPixmap>& drawn, const Ref<TPixmap>& reference) {
    int width = PixmapWidth(reference), height = PixmapHeight(reference);
    if (PixmapWidth(drawn) != width || PixmapHeight(drawn) != height) return "sizes differ";
    std::unordered_map<uint32_t, int> counts;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ++counts[ReadPixel(reference, x, y)];
    uint32_t background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                              return a.second < b.second;
                          })->first;
    std::vector<bool> wrong(static_cast<size_t>(width) * height);
    long content = 0, close = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t p = ReadPixel(drawn, x, y), q = ReadPixel(reference, x, y);
            bool off = Apart(p, q) > 2;
            wrong[static_cast<size_t>(y) * width + x] = off;
            if (Apart(p, background) > 2 || Apart(q, background) > 2) ++content, close += !off;
        }
    if (close < 0.99 * content)
        return std::to_string(100.0 * close / content) + " % of the content within 2";
    int patch = LargestPatch(std::move(wrong), width);
    return patch > 32 ? "a patch of " + std::to_string(patch) + " wrong pixels" : "";
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
    int code = RunUnattended(argv[1], argv[2], screenshot);
    if (code != 0) return Fail(std::string(argv[1]) + " ended with " + std::to_string(code));
    StartPixmapModule();
    auto picture = LoadPixmap(FromUtf8(screenshot));
    if (!picture) return Fail("no screenshot at " + screenshot);
    if (CountColours(picture) < 2) return Fail(screenshot + " is one colour");
    if (argc == 4) return 0;
    auto reference = LoadPixmap(FromUtf8(argv[4]));
    if (!reference) return Fail(std::string("no reference picture at ") + argv[4]);
    std::string why = Disagreement(picture, reference);
    return why.empty() ? 0 : Fail(screenshot + " does not show what " + argv[4] + " does: " + why);
}
