#include <gtest/gtest.h>

#include <vector>

#include "demo/random.h"

namespace {

std::vector<int> draws(int count) {
    std::vector<int> values;
    for (int i = 0; i < count; ++i)
        values.push_back(demoRand());
    return values;
}

TEST(DemoRandom, StartsFromSeedOneLikeTheClassicRuntimeGenerator) {
    EXPECT_EQ(draws(6), (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724}));
}

TEST(DemoRandom, SeedingRestartsTheSequence) {
    demoSrand(34939);
    EXPECT_EQ(draws(4), (std::vector<int>{15830, 25010, 12661, 21979}));
    demoSrand(0);
    EXPECT_EQ(draws(4), (std::vector<int>{38, 7719, 21238, 2437}));
    // The state wraps modulo 2^32 and only 15 bits come out.
    demoSrand(0xffffffffu);
    EXPECT_EQ(draws(3), (std::vector<int>{35, 29739, 3374}));
    demoSrand(1);
    EXPECT_EQ(draws(2), (std::vector<int>{41, 18467}));
}

TEST(DemoRandom, DrawsOfSeedOneScaleToMinusOneToOne) {
    demoSrand(1);
    EXPECT_EQ(demoRandomDraw(), static_cast<float>(41 / 10000.0 - 1.0));
    EXPECT_EQ(demoRandomDraw(), static_cast<float>(18467 / 10000.0 - 1.0));
    EXPECT_EQ(demoRandomDraw(), static_cast<float>(6334 / 10000.0 - 1.0));
    EXPECT_EQ(demoRandomDraw(), static_cast<float>(6500 / 10000.0 - 1.0)); // 26500 mod 20000
}

struct DrawCase {
    unsigned seed; // a seed whose first value is `value`
    int value;
    float draw;
};

class DemoRandomDraw : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DemoRandomDraw, WrapsAtTwentyThousandAndStaysBelowOne) {
    const DrawCase c = GetParam();
    demoSrand(c.seed);
    EXPECT_EQ(demoRand(), c.value);
    demoSrand(c.seed);
    EXPECT_FLOAT_EQ(demoRandomDraw(), c.draw);
}

INSTANTIATE_TEST_SUITE_P(Bounds, DemoRandomDraw,
                         ::testing::Values(DrawCase{20057, 0, -1.0f},
                                           DrawCase{16147, 19999, static_cast<float>(0.9999)},
                                           DrawCase{36216, 20000, -1.0f},
                                           DrawCase{30091, 32767, static_cast<float>(0.2767)}));

} // namespace
