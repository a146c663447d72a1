#include <gtest/gtest.h>
#include <zandrel/zandrel.hpp>

#include <cstdlib>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Tests that need a particular audio driver choose it; the rest must not
    // depend on a sound card being there.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    zandrel::StartZandrel();
    return RUN_ALL_TESTS();
}
