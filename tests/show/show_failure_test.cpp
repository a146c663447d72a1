// The show refuses cleanly: one line on standard error, exit code 1.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

const fs::path showFolder = ZANDREL_SHOW_DIR;

struct Outcome {
    int exitCode = -1;
    std::string errors;
};

// Runs the show copied into `folder` (with whatever data is there) on a
// private 800 x 600 X server, or with `environment` instead.
Outcome RunShowIn(const fs::path& folder, const std::string& environment = "") {
    fs::copy_file(showFolder / "zandrel-show", folder / "zandrel-show",
                  fs::copy_options::overwrite_existing);
    std::string errors = (folder / "errors.txt").string();
    std::string command = "SDL_AUDIODRIVER=dummy " + environment + " " +
                          (folder / "zandrel-show").string() + " 2>" + errors;
    Outcome outcome;
    if (environment.empty()) {
        outcome.exitCode = zandrel::test::PrivateDisplay(800, 600).Run(command);
    } else {
        int status = std::system(command.c_str());
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::ifstream in(errors);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("zandrel-show:", 0) == 0) outcome.errors += line + "\n";
    return outcome;
}

void CopyData(const fs::path& to) {
    for (const char* name :
         {"diskox.ogg", "saippua.jpg", "blow.png", "seta.png", "seta2.png", "ost.png", "soaps.jpg",
          "ilove.png", "ilove2.png", "vurn.jpg", "brenti.png", "thend.jpg"})
        fs::copy_file(showFolder / name, to / name);
}

} // namespace

TEST(ShowFailures, MissingMusicIsNamed) {
    zandrel::test::TempFolder folder;
    Outcome outcome = RunShowIn(folder.Path());
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.errors, "zandrel-show: unable to load diskox.ogg\n");
}

TEST(ShowFailures, PictureThatDoesNotDecodeIsNamed) {
    zandrel::test::TempFolder folder;
    CopyData(folder.Path());
    std::ofstream(folder / "brenti.png", std::ios::trunc) << "\x89PNG\r\n\x1a\n not really";
    Outcome outcome = RunShowIn(folder.Path());
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.errors, "zandrel-show: unable to load brenti.png\n");
}

// No X server answers there.
TEST(ShowFailures, DisplayThatCannotBeOpened) {
    zandrel::test::TempFolder folder;
    CopyData(folder.Path());
    Outcome outcome = RunShowIn(folder.Path(), "env -u SDL_VIDEODRIVER DISPLAY=:65000");
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.errors, "zandrel-show: unable to open the 800 x 600 display: cannot reach "
                              "the X server :65000\n");
}
