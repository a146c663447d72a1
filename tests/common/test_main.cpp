#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/zandrel.hpp>

#include <cstdlib>

int main(int argc, char** argv) {
    zandrel::test::PrepareTestProcess();
    testing::InitGoogleTest(&argc, argv);
    // The framework runs threads (the mixer, timers): a death test must start
    // its child afresh rather than fork a copy of a threaded process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Tests that need a particular audio driver choose it; the rest must not
    // depend on a sound card being there.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    zandrel::StartZandrel();
    return RUN_ALL_TESTS();
}
