// The Catmull-Rom spline.
#include <gtest/gtest.h>

#include "support/expect_math.h"

#include "engine/math/spline.h"

namespace {

using velmo::Spline;
using velmo::Vec3;


TEST(CatmullRom, PassesThroughTheInnerPoints) {
    struct Case {
        float p0, p1, p2, p3, u, expected;
    };
    const Case cases[] = {
        {7.0f, 1.0f, 2.0f, -9.0f, 0.0f, 1.0f},  // u = 0 gives p1
        {7.0f, 1.0f, 2.0f, -9.0f, 1.0f, 2.0f},  // u = 1 gives p2
        {0.0f, 1.0f, 2.0f, 3.0f, 0.5f, 1.5f},   // evenly spaced points: a straight line
        {0.0f, 1.0f, 2.0f, 3.0f, 0.25f, 1.25f}, // ... at even speed
        {1.0f, 2.0f, 3.0f, 3.0f, 0.5f, 2.5625f},
        {0.0f, 0.0f, 1.0f, 1.0f, 0.5f, 0.5f},    // symmetric ease
        {1.0f, 0.0f, 0.0f, 1.0f, 0.5f, -0.125f}, // overshoots below the flat segment
        {5.0f, 5.0f, 5.0f, 5.0f, 0.3f, 5.0f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(velmo::catmullRom(c.p0, c.p1, c.p2, c.p3, c.u), c.expected, 1e-6f)
            << c.p0 << " " << c.p1 << " " << c.p2 << " " << c.p3 << " u = " << c.u;
}

TEST(Spline, ConstructorTakesFourPointsAndIsOpen) {
    const float raw[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Vec3 vectors[4] = {Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(7, 8, 9), Vec3(10, 11, 12)};
    for (const Spline& spline : {Spline(raw), Spline(vectors)}) {
        ASSERT_EQ(spline.points.size(), 4u);
        for (int i = 0; i < 4; ++i)
            expectVecNear(spline.points[i], vectors[i], 0.0f);
        EXPECT_FALSE(spline.closed);
    }
}

struct SplineCase {
    const char* name;
    std::vector<Vec3> points;
    bool closed;
    float t;
    Vec3 expected;
};

void PrintTo(const SplineCase& c, std::ostream* os) {
    *os << c.name;
}

class SplineEvaluate : public ::testing::TestWithParam<SplineCase> {};

TEST_P(SplineEvaluate, GivesThePointOfTheCurve) {
    const SplineCase& c = GetParam();
    const Vec3 four[4] = {Vec3(), Vec3(), Vec3(), Vec3()};
    Spline spline(four);
    spline.points = c.points;
    spline.closed = c.closed;
    expectVecNear(spline.evaluate(c.t), c.expected);
}

const std::vector<Vec3> kLine = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(2, 0, 0), Vec3(3, 0, 0)};
const std::vector<Vec3> kSquare = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(1, 1, 0), Vec3(0, 1, 0)};
const std::vector<Vec3> kTriangle = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)};

INSTANTIATE_TEST_SUITE_P(
    Cases, SplineEvaluate,
    ::testing::Values(
        // Open: from point 1 at t = 0 to the last point at t = 1; point 0 only shapes the start.
        SplineCase{"OpenStartsAtPointOne", kLine, false, 0.0f, Vec3(1, 0, 0)},
        SplineCase{"OpenEndsAtTheLastPoint", kLine, false, 1.0f, Vec3(3, 0, 0)},
        SplineCase{"OpenHalfwayIsPointTwo", kLine, false, 0.5f, Vec3(2, 0, 0)},
        SplineCase{"OpenClampsBelowZero", kLine, false, -1.0f, Vec3(1, 0, 0)},
        SplineCase{"OpenClampsAboveOne", kLine, false, 2.0f, Vec3(3, 0, 0)},
        // t = 0.75: the second segment at u = 0.5, the last point repeated as the trailing
        // control point, which slows the curve down towards its end.
        SplineCase{"OpenRepeatsTheLastPoint", kLine, false, 0.75f, Vec3(2.5625f, 0, 0)},
        SplineCase{"OpenFirstSegmentUsesPointZero", kSquare, false, 0.25f, Vec3(1.125f, 0.5f, 0)},
        // Closed: from point 0 around all the points back to point 0.
        SplineCase{"ClosedStartsAtPointZero", kSquare, true, 0.0f, Vec3(0, 0, 0)},
        SplineCase{"ClosedEndsAtPointZero", kSquare, true, 1.0f, Vec3(0, 0, 0)},
        SplineCase{"ClosedQuarterIsPointOne", kSquare, true, 0.25f, Vec3(1, 0, 0)},
        SplineCase{"ClosedThreeQuartersIsPointThree", kSquare, true, 0.75f, Vec3(0, 1, 0)},
        SplineCase{"ClosedClampsAboveOne", kSquare, true, 2.0f, Vec3(0, 0, 0)},
        // The first segment of a closed square bulges outwards, shaped by the last point.
        SplineCase{"ClosedFirstSegmentUsesTheLastPoint", kSquare, true, 0.125f,
                   Vec3(0.5f, -0.125f, 0)},
        SplineCase{"ClosedThreePointsStartAtPointZero", kTriangle, true, 0.0f, Vec3(0, 0, 0)},
        SplineCase{"ClosedThreePointsWrapTheFirstSegment", kTriangle, true, 1.0f / 6.0f,
                   Vec3(0.5625f, -0.125f, 0)},
        SplineCase{"ClosedThreePointsWrapTheLastSegment", kTriangle, true, 5.0f / 6.0f,
                   Vec3(-0.125f, 0.5625f, 0)}),
    [](const ::testing::TestParamInfo<SplineCase>& info) { return info.param.name; });

TEST(Spline, OpenCurveRunsContinuouslyAcrossSegments) {
    const Vec3 points[4] = {Vec3(0, 0, 0), Vec3(1, 2, 0), Vec3(3, 1, 1), Vec3(4, 4, 2)};
    const Spline spline(points);
    Vec3 previous = spline.evaluate(0.0f);
    for (int k = 1; k <= 200; ++k) {
        const Vec3 current = spline.evaluate(k / 200.0f);
        EXPECT_LT(velmo::vecLength(current - previous), 0.1f) << "t = " << k / 200.0f;
        previous = current;
    }
}

} // namespace
