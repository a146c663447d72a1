#include "options.hpp"

#include <cstdlib>

namespace capture {

namespace {

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

} // namespace

const char* Usage() {
    return "usage: zandrel-capture [options]\n"
           "  --out DIR          where frames, music.wav, scenes.csv and show.mp4 go (capture)\n"
           "  --fps N            frames per second of the virtual clock (60)\n"
           "  --frame-ms N       virtual milliseconds per frame instead of 1000 / fps\n"
           "  --every N          write every Nth frame only (1)\n"
           "  --from S --to S    frames and music from S to S seconds after the music starts;\n"
           "                     the run ends at --to\n"
           "  --until S          end the show S seconds after the music starts\n"
           "  --no-frames        write no frames\n"
           "  --no-audio         mix no music\n"
           "  --no-video         make no MP4\n"
           "  --start-clock MS   the virtual clock when the show starts (0)\n"
           "  --realtime         run on the real clock with the audio device; timing only\n"
           "  --use-display      draw on $DISPLAY rather than a private virtual X server\n"
           "  --help             this text\n";
}

namespace {

struct NumberOption {
    const char* name;
    double low, high;
    void (*set)(Options&, double);
};

const NumberOption numberOptions[] = {
    {"--fps", 1, 1000, [](Options& o, double v) { o.fps = static_cast<int>(v); }},
    {"--frame-ms", 1, 60000, [](Options& o, double v) { o.frameMillis = static_cast<int>(v); }},
    {"--every", 1, 1e6, [](Options& o, double v) { o.every = static_cast<int>(v); }},
    {"--from", 0, 1e6, [](Options& o, double v) { o.from = v; }},
    {"--to", 0, 1e6, [](Options& o, double v) { o.to = v; }},
    {"--until", 0, 1e6, [](Options& o, double v) { o.until = v; }},
    {"--start-clock", -2147483648.0, 2147483647.0,
     [](Options& o, double v) { o.startClock = static_cast<int>(v); }},
};

const struct {
    const char* name;
    void (*set)(Options&);
} switches[] = {
    {"--no-frames", [](Options& o) { o.frames = false; }},
    {"--no-audio", [](Options& o) { o.audio = false; }},
    {"--no-video", [](Options& o) { o.video = false; }},
    {"--realtime", [](Options& o) { o.realtime = true; }},
    {"--use-display", [](Options& o) { o.useDisplay = true; }},
};

} // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool known = false;
        for (const auto& option : switches)
            if (a == option.name) option.set(o), known = true;
        for (const auto& option : numberOptions) {
            if (a != option.name) continue;
            double v = 0;
            if (i + 1 >= args.size() || !ParseNumber(args[i + 1], v) || v < option.low ||
                v > option.high) {
                error = a + " needs a number from " + std::to_string(option.low) + " to " +
                        std::to_string(option.high);
                return std::nullopt;
            }
            option.set(o, v);
            known = true;
            ++i;
        }
        if (a == "--out" && i + 1 < args.size()) {
            o.out = args[++i];
            known = true;
        }
        if (!known) {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    return o;
}

} // namespace capture
