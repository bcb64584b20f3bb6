// 3-float vectors.
#include <gtest/gtest.h>

#include "support/expect_math.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "engine/math/vector.h"

namespace {

using velmo::Vec3;


TEST(Vec3, HasThePlatformVectorLayout) {
    static_assert(sizeof(Vec3) == 3 * sizeof(float));
    static_assert(sizeof(Vec3) == sizeof(D3DVECTOR));
    const Vec3 v(1.0f, 2.0f, 3.0f);
    float raw[3];
    std::memcpy(raw, &v, sizeof raw);
    EXPECT_EQ(raw[0], 1.0f);
    EXPECT_EQ(raw[1], 2.0f);
    EXPECT_EQ(raw[2], 3.0f);
    // The platform's vector and the engine's are one type, usable wherever a D3DVECTOR is.
    const D3DVECTOR& platform = v;
    EXPECT_EQ(platform.y, 2.0f);
}

TEST(Vec3, ArithmeticOperatorsWorkComponentByComponent) {
    Vec3 a(1.0f, 2.0f, 3.0f);
    a += Vec3(10.0f, 20.0f, 30.0f);
    expectVecNear(a, Vec3(11.0f, 22.0f, 33.0f), 0.0f);

    const Vec3 target(5.0f, 1.0f, -2.0f), eye(1.0f, 1.0f, 2.0f);
    expectVecNear(target - eye, Vec3(4.0f, 0.0f, -4.0f), 0.0f);

    expectVecNear(Vec3(2.0f, -4.0f, 8.0f) / 2.0f, Vec3(1.0f, -2.0f, 4.0f), 0.0f);

    Vec3 b(3.0f, 6.0f, 9.0f);
    b /= 3.0f;
    expectVecNear(b, Vec3(1.0f, 2.0f, 3.0f), 0.0f);
}

TEST(Vec3, DividingByZeroIsNotChecked) {
    Vec3 v(1.0f, -1.0f, 0.0f);
    v /= 0.0f;
    EXPECT_TRUE(std::isinf(v.x) && v.x > 0.0f);
    EXPECT_TRUE(std::isinf(v.y) && v.y < 0.0f);
    EXPECT_TRUE(std::isnan(v.z));
}

TEST(Vec3, ZeroVectorClearsAllComponents) {
    Vec3 v(4.0f, 5.0f, 6.0f);
    Vec3& result = velmo::zeroVector3(v);
    EXPECT_EQ(&result, &v);
    expectVecNear(v, Vec3(0.0f, 0.0f, 0.0f), 0.0f);
}

TEST(Vec3, LengthAndSquaredLength) {
    struct Case {
        Vec3 v;
        float length;
        float lengthSq;
    };
    const Case cases[] = {
        {Vec3(0.0f, 0.0f, 0.0f), 0.0f, 0.0f},
        {Vec3(0.0f, 3.0f, 4.0f), 5.0f, 25.0f},
        {Vec3(-2.0f, 3.0f, 6.0f), 7.0f, 49.0f},
        {Vec3(1.0f, 1.0f, 1.0f), std::sqrt(3.0f), 3.0f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(velmo::vecLength(c.v), c.length);
        EXPECT_FLOAT_EQ(velmo::vecLengthSq(c.v), c.lengthSq);
    }
}

struct NormaliseCase {
    Vec3 input;
    Vec3 expected;
};

void PrintTo(const NormaliseCase& c, std::ostream* os) {
    *os << "(" << c.input.x << ", " << c.input.y << ", " << c.input.z << ")";
}

class Normalise : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(Normalise, InPlaceAndAsACopy) {
    const NormaliseCase& c = GetParam();

    Vec3 inPlace = c.input;
    Vec3& returned = velmo::normalize(inPlace);
    EXPECT_EQ(&returned, &inPlace);
    expectVecNear(inPlace, c.expected);

    const Vec3 original = c.input;
    const Vec3 copy = velmo::normalized(original);
    expectVecNear(copy, c.expected);
    // The argument is not changed.
    expectVecNear(original, c.input, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Normalise,
    ::testing::Values(
        // A vector of length 0 is left unchanged (no division by zero, no NaN).
        NormaliseCase{Vec3(0.0f, 0.0f, 0.0f), Vec3(0.0f, 0.0f, 0.0f)},
        NormaliseCase{Vec3(0.0f, 3.0f, 4.0f), Vec3(0.0f, 0.6f, 0.8f)},
        NormaliseCase{Vec3(-10.0f, 0.0f, 0.0f), Vec3(-1.0f, 0.0f, 0.0f)},
        NormaliseCase{Vec3(2.0f, 2.0f, 1.0f), Vec3(2.0f / 3.0f, 2.0f / 3.0f, 1.0f / 3.0f)}));

TEST(Vec3, NormalisedVectorsHaveUnitLength) {
    const Vec3 vectors[] = {Vec3(1e-3f, 2e-3f, -5e-3f), Vec3(123.0f, -456.0f, 789.0f),
                            Vec3(0.0f, 0.0f, 1e-6f)};
    for (const Vec3& v : vectors)
        EXPECT_NEAR(velmo::vecLength(velmo::normalized(v)), 1.0f, 1e-6f);
}

TEST(Vec3, CrossProduct) {
    struct Case {
        Vec3 a, b, expected;
    };
    const Case cases[] = {
        {Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1)},
        {Vec3(0, 1, 0), Vec3(0, 0, 1), Vec3(1, 0, 0)},
        {Vec3(0, 0, 1), Vec3(1, 0, 0), Vec3(0, 1, 0)},
        {Vec3(0, 1, 0), Vec3(1, 0, 0), Vec3(0, 0, -1)},
        {Vec3(2, 3, 4), Vec3(2, 3, 4), Vec3(0, 0, 0)},
        {Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(-3, 6, -3)},
    };
    for (const Case& c : cases) {
        expectVecNear(velmo::cross(c.a, c.b), c.expected, 0.0f);
        // The result is perpendicular to both operands.
        EXPECT_EQ(velmo::dot(velmo::cross(c.a, c.b), c.a), 0.0f);
        EXPECT_EQ(velmo::dot(velmo::cross(c.a, c.b), c.b), 0.0f);
    }
}

TEST(Vec3, CrossIntoOneOfItsOperands) {
    Vec3 a(1, 2, 3);
    const Vec3 b(4, 5, 6);
    velmo::cross(a, a, b);
    expectVecNear(a, Vec3(-3, 6, -3), 0.0f);
}

} // namespace
