#include <gtest/gtest.h>
#include <zandrel/system.hpp>

#include <climits>
#include <cmath>
#include <map>

using namespace zandrel;

// Every test starts from the state a fresh program has.
class Random : public testing::Test {
protected:
    void SetUp() override { SeedRandom(0x1234); }
};

TEST_F(Random, FirstStepFromTheStartState) {
    EXPECT_EQ(RandomSeed(), 0x1234);
    RndFloat();
    EXPECT_EQ(RandomSeed(), 224942860);
    // Schrage's decomposition must agree with the exact 64-bit product.
    int64_t expected = 224942860;
    for (int i = 0; i < 10000; ++i) {
        expected = expected * 48271 % 0x7FFFFFFF;
        RndFloat();
        ASSERT_EQ(RandomSeed(), expected) << "step " << i;
    }
}

TEST_F(Random, SeedingRules) {
    SeedRandom(0);
    EXPECT_EQ(RandomSeed(), 0x1234);
    SeedRandom(0x7FFFFFFF);
    EXPECT_EQ(RandomSeed(), 0x1234);
    SeedRandom(-1);
    EXPECT_EQ(RandomSeed(), 0x1234);
    SeedRandom(static_cast<int>(0x80000005u));
    EXPECT_EQ(RandomSeed(), 5);
}

TEST_F(Random, DrawsUseTheGivenBits) {
    float f = RndFloat();
    EXPECT_EQ(f, static_cast<float>((224942860 & 0x0FFFFFF0) / 268435456.0));
    SeedRandom(0x1234);
    double d = RndDouble();
    int64_t second = int64_t(224942860) * 48271 % 0x7FFFFFFF;
    double expected =
        ((224942860 & 0x1FFFFFFC) + (second & 0x1FFFFFF8) / 134217728.0) / 536870912.0;
    EXPECT_EQ(d, expected);
}

TEST_F(Random, DrawsStayInTheirRanges) {
    for (int i = 0; i < 100000; ++i) {
        float f = RndFloat();
        ASSERT_GE(f, 0.0f);
        ASSERT_LT(f, 1.0f);
        double d = RndDouble();
        ASSERT_GE(d, 0.0);
        ASSERT_LT(d, 1.0);
    }
    // The largest state gives the largest draws, still below 1.
    SeedRandom(0x7FFFFFFE);
    EXPECT_LT(RndFloat(), 1.0f);
}

TEST_F(Random, RangesInEitherOrder) {
    EXPECT_EQ(RandomRange(5, 5), 5.0);
    for (int i = 0; i < 10000; ++i) {
        double a = RandomRange(2, 7), b = RandomRange(7, 2);
        ASSERT_TRUE(a >= 2 && a < 7);
        ASSERT_TRUE(b >= 2 && b < 7);
    }
    int before = RandomSeed();
    RandomRange(7, 2);
    SeedRandom(before);
    RndDouble();
    int afterTwoSteps = RandomSeed();
    SeedRandom(before);
    RandomRange(7, 2);
    EXPECT_EQ(RandomSeed(), afterTwoSteps);

    std::map<int, int> seen;
    for (int i = 0; i < 60000; ++i) {
        seen[RandomInt(1, 6)]++;
        seen[RandomInt(6, 1)]++;
    }
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen.begin()->first, 1);
    EXPECT_EQ(seen.rbegin()->first, 6);
    for (auto [value, count] : seen)
        EXPECT_NEAR(count, 20000, 800) << value;
}

TEST_F(Random, NegativeRangesTruncateTowardZero) {
    std::map<int, int> seen;
    for (int i = 0; i < 70000; ++i)
        seen[RandomInt(-3, 3)]++;
    EXPECT_LT(seen[-3], 5);
    EXPECT_NEAR(seen[0], 20000, 1000);
    EXPECT_NEAR(seen[1], 10000, 800);
    EXPECT_EQ(RandomInt(INT_MIN, INT_MAX) >= INT_MIN, true);
}

TEST(Maths, Degrees) {
    EXPECT_EQ(SinDeg(90), 1.0);
    EXPECT_NE(CosDeg(90), 0.0);
    EXPECT_NEAR(CosDeg(90), 6.123233995736766e-17, 1e-30);
    EXPECT_EQ(ATan2Deg(1, 0), 90.0);
    EXPECT_NEAR(TanDeg(45), 1.0, 1e-15);
    EXPECT_NEAR(ASinDeg(1), 90.0, 1e-12);
    EXPECT_NEAR(ACosDeg(0), 90.0, 1e-12);
    EXPECT_NEAR(ATanDeg(1), 45.0, 1e-12);
    EXPECT_EQ(Floor(-1.5), -2.0);
    EXPECT_EQ(Ceil(-1.5), -1.0);
    EXPECT_EQ(SquareRoot(16), 4.0);
    EXPECT_TRUE(IsNan(std::nan("")));
    EXPECT_FALSE(IsNan(INFINITY));
    EXPECT_TRUE(IsInf(-INFINITY));
    EXPECT_FALSE(IsInf(1e308));
}
