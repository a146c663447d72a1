// zandrel-show itself, from start to end on the real clock (163 s), on a
// display that has no 800 x 600 mode.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <fstream>

TEST(ShowOnAnyDisplay, RunsToItsEndShownScaledOnAWideScreen) {
    zandrel::test::TempFolder folder;
    std::string errors = folder / "errors.txt";
    int code = zandrel::test::PrivateDisplay(1920, 1080)
                   .Run("SDL_AUDIODRIVER=dummy " + std::string(ZANDREL_SHOW_DIR) +
                        "/zandrel-show 2> " + errors);
    std::ifstream in(errors);
    std::string said;
    for (std::string line; std::getline(in, line);)
        if (line.find("shown scaled") != std::string::npos || line.rfind("zandrel-show", 0) == 0)
            said += line + "\n";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(said, "800 x 600 shown scaled on a 1920 x 1080 display\n");
}
