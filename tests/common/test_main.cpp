#include <gtest/gtest.h>
#include <zandrel/zandrel.hpp>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    zandrel::StartZandrel();
    return RUN_ALL_TESTS();
}
