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
// private 800 x 600 X server, so that its full-screen display can open.
Outcome RunShowIn(const fs::path& folder, bool ownDisplay = true) {
    fs::copy_file(showFolder / "zandrel-show", folder / "zandrel-show",
                  fs::copy_options::overwrite_existing);
    std::string errors = (folder / "errors.txt").string();
    std::string command =
        (ownDisplay ? "SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 800x600x24' "
                    : "SDL_AUDIODRIVER=dummy ") +
        (folder / "zandrel-show").string() + " 2>" + errors;
    int status = std::system(command.c_str());
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

// The test's own X server is 1024 x 768 and has no 800 x 600 mode to switch to.
TEST(ShowFailures, DisplayThatCannotBeOpened) {
    zandrel::test::TempFolder folder;
    CopyData(folder.Path());
    Outcome outcome = RunShowIn(folder.Path(), false);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.errors, "zandrel-show: unable to open the 800 x 600 display\n");
}
