#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "demo/chain_physics.h"
#include "demo/random.h"
#include "engine/math/matrix.h"
#include "support/expect_math.h"

namespace {

using velmo::Vec3;

// Starts from empty chain arrays and frees the link nodes a test made.
class ChainPhysics : public ::testing::Test {
protected:
    void TearDown() override {
        for (const ChainLink& link : chainLinks)
            delete link.node;
        chainLinks.clear();
        chainPoints.clear();
        chainAnchor = nullptr;
        chainModel = nullptr;
        finaleCameraPosition = Vec3(0.0f, 0.0f, 0.0f);
    }

    // A point at rest (previous = position) with no acceleration.
    static int addPoint(Vec3 position, bool fixed = false) {
        ChainPoint point;
        point.position = position;
        point.fixed = fixed;
        point.previous = position;
        chainPoints.push_back(point);
        return static_cast<int>(chainPoints.size()) - 1;
    }

    static void addLink(int first, int second) {
        chainLinks.push_back(ChainLink{2.5f, first, second, new velmo::DummyNode()});
    }

    // Far enough away that its push (about 1e-13) does not matter.
    static void cameraFarAway() { finaleCameraPosition = Vec3(0.0f, 0.0f, 1.0e7f); }
};

TEST_F(ChainPhysics, BuildsTwentyChainsStraightOutAlongRandomDirections) {
    velmo::DummyNode anchor;
    velmo::DummyNode model;
    chainAnchor = &anchor;
    chainModel = &model;
    demoSrand(77);
    buildChains();

    ASSERT_EQ(chainPoints.size(), 400u);
    ASSERT_EQ(chainLinks.size(), 380u);
    EXPECT_EQ(anchor.children.size(), 380u);

    demoSrand(77);
    for (int k = 0; k < 20; ++k) {
        const float r1 = demoRandomDraw();
        const float r2 = demoRandomDraw();
        const float r3 = demoRandomDraw();
        const Vec3 n = velmo::normalized(Vec3(r1, r2, r3));
        for (int j = 0; j < 20; ++j) {
            const ChainPoint& p = chainPoints[20 * k + j];
            expectVecNear(p.position, n * (10.0f + 5.0f * j), 1e-4f);
            expectVecNear(p.previous, p.position, 0.0f);
            expectVecNear(p.acceleration, 0.01f * n);
            EXPECT_EQ(p.fixed, j == 0) << "chain " << k << " point " << j;
        }
        for (int j = 0; j < 19; ++j) {
            const ChainLink& link = chainLinks[19 * k + j];
            EXPECT_EQ(link.restLength, 2.5f);
            EXPECT_EQ(link.first, 20 * k + j);
            EXPECT_EQ(link.second, 20 * k + j + 1);
            ASSERT_NE(link.node, nullptr);
            EXPECT_TRUE(link.node->name.empty());
            expectMatrixNear(link.node->transform, velmo::identityMatrix(), 0.0f);
            EXPECT_EQ(link.node->children, velmo::INode::ChildList{&model});
        }
    }
    // The link nodes hang under the anchor in link order.
    auto child = anchor.children.begin();
    for (const ChainLink& link : chainLinks)
        EXPECT_EQ(*child++, link.node);
}

TEST_F(ChainPhysics, AFreePointAtRestMovesByItsAccelerationPlusThePush) {
    finaleCameraPosition = Vec3(1.0f, 2.0f, 3.0f);
    const int i = addPoint(Vec3(1.0f, 2.0f, 13.0f));
    chainPoints[i].acceleration = Vec3(0.0f, 0.0f, 0.01f);
    stepChains();
    // 10 / |d|^2 along d, d being the accelerated point's offset from the camera.
    EXPECT_FLOAT_EQ(chainPoints[i].position.z, 13.01f + 10.0f / (10.01f * 10.01f));
    EXPECT_FLOAT_EQ(chainPoints[i].position.x, 1.0f);
    EXPECT_FLOAT_EQ(chainPoints[i].position.y, 2.0f);
    expectVecNear(chainPoints[i].previous, Vec3(1.0f, 2.0f, 13.0f), 0.0f);
}

TEST_F(ChainPhysics, AMovingPointKeepsItsVelocity) {
    cameraFarAway();
    const int i = addPoint(Vec3(5.0f, 0.0f, 0.0f));
    chainPoints[i].previous = Vec3(4.0f, 0.5f, 0.0f);
    chainPoints[i].acceleration = Vec3(0.0f, -0.25f, 0.0f);
    stepChains();
    expectVecNear(chainPoints[i].position, Vec3(6.0f, -0.75f, 0.0f));
    stepChains();
    expectVecNear(chainPoints[i].position, Vec3(7.0f, -1.75f, 0.0f));
    expectVecNear(chainPoints[i].previous, Vec3(6.0f, -0.75f, 0.0f));
}

TEST_F(ChainPhysics, APointOnTheCameraIsNotPushedIntoNaN) {
    finaleCameraPosition = Vec3(2.0f, 3.0f, 4.0f);
    const int i = addPoint(Vec3(2.0f, 3.0f, 4.0f));
    stepChains();
    expectVecNear(chainPoints[i].position, Vec3(2.0f, 3.0f, 4.0f), 0.0f);
}

struct ClampCase {
    Vec3 position;
    bool fixed;
    Vec3 clamped;
};

class ChainClamp : public ChainPhysics, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ChainClamp, HoldsEveryPointInsideTheBox) {
    cameraFarAway();
    const ClampCase c = GetParam();
    const int i = addPoint(c.position, c.fixed);
    stepChains();
    expectVecNear(chainPoints[i].position, c.clamped, 1e-6f);
    // previous is the position from before the clamp.
    expectVecNear(chainPoints[i].previous, c.position, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Box, ChainClamp,
    ::testing::Values(ClampCase{{100.0f, -100.0f, 0.0f}, false, {100.0f, -100.0f, 0.0f}},
                      ClampCase{{100.5f, -250.0f, 99.0f}, false, {100.0f, -100.0f, 99.0f}},
                      ClampCase{{100.0f, -100.0f, 3.0f}, true, {100.0f, -100.0f, 3.0f}},
                      ClampCase{{-130.0f, 7.0f, 1000.0f}, true, {-100.0f, 7.0f, 100.0f}}));

struct LinkCase {
    float length;
    float moveEach; // how far each free end moves towards the other
};

class ChainLinkCorrection : public ChainPhysics, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(ChainLinkCorrection, MovesEachFreeEndByTheLimitedSquaredError) {
    cameraFarAway();
    const LinkCase c = GetParam();
    const int a = addPoint(Vec3(0.0f, 0.0f, 0.0f));
    const int b = addPoint(Vec3(0.0f, c.length, 0.0f));
    addLink(a, b);
    stepChains();
    EXPECT_NEAR(chainPoints[a].position.y, c.moveEach, 1e-5f);
    EXPECT_NEAR(chainPoints[b].position.y, c.length - c.moveEach, 1e-5f);
    EXPECT_NEAR(chainPoints[a].position.x, 0.0f, 1e-6f);
    EXPECT_NEAR(chainPoints[b].position.z, 0.0f, 1e-6f);
}

// e = 2.5 - length; c = 0.03 e |e|, at most e / 2.
INSTANTIATE_TEST_SUITE_P(Lengths, ChainLinkCorrection,
                         ::testing::Values(LinkCase{2.5f, 0.0f}, LinkCase{5.0f, 0.1875f},
                                           LinkCase{22.5f, 10.0f}, LinkCase{1.5f, -0.03f},
                                           LinkCase{50.0f / 3.0f + 2.5f, 25.0f / 3.0f}));

TEST_F(ChainPhysics, FixedEndsAreNeverCorrectedButTheLinkIsStillPlaced) {
    cameraFarAway();
    const int a = addPoint(Vec3(0.0f, 0.0f, 0.0f), true);
    const int b = addPoint(Vec3(0.0f, 5.0f, 0.0f), true);
    const int c = addPoint(Vec3(0.0f, 10.0f, 0.0f));
    addLink(a, b);
    addLink(b, c);
    stepChains();
    expectVecNear(chainPoints[a].position, Vec3(0.0f, 0.0f, 0.0f), 0.0f);
    expectVecNear(chainPoints[b].position, Vec3(0.0f, 5.0f, 0.0f), 0.0f);
    // Only the free end of the second link moves, by 0.1875 towards the fixed one.
    EXPECT_NEAR(chainPoints[c].position.y, 10.0f - 0.1875f, 1e-5f);
    expectVecNear(velmo::getTranslation(chainLinks[0].node->transform), Vec3(0.0f, 2.5f, 0.0f));
}

TEST_F(ChainPhysics, EachLinkSeesTheCorrectionsOfTheLinksBeforeIt) {
    cameraFarAway();
    const int a = addPoint(Vec3(0.0f, 0.0f, 0.0f), true);
    const int b = addPoint(Vec3(0.0f, 5.0f, 0.0f));
    const int c = addPoint(Vec3(0.0f, 7.5f, 0.0f));
    addLink(a, b);
    addLink(b, c);
    stepChains();
    // The first link pulls b to 4.8125; the second then finds b and c 2.6875 apart, too long
    // by 0.1875, and pulls both together.
    const float e = 2.5f - 2.6875f;
    const float move = 0.03f * e * std::fabs(e);
    EXPECT_NEAR(chainPoints[b].position.y, 4.8125f - move, 1e-6f);
    EXPECT_NEAR(chainPoints[c].position.y, 7.5f + move, 1e-6f);
}

TEST_F(ChainPhysics, LinksAlternateTheirReferenceVectors) {
    cameraFarAway();
    const int a = addPoint(Vec3(0.0f, 0.0f, 0.0f), true);
    const int b = addPoint(Vec3(0.0f, 2.5f, 0.0f), true);
    addLink(a, b); // link 0: reference (0, 0, -1)
    addLink(a, b); // link 1: reference (1, 0, 0)
    stepChains();
    expectMatrixNear(chainLinks[0].node->transform,
                     velmo::Matrix(-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1.25f, 0, 1));
    expectMatrixNear(chainLinks[1].node->transform,
                     velmo::Matrix(0, 0, -1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 1.25f, 0, 1));
}

TEST_F(ChainPhysics, PlacesTheLinkModelAlongTheLinkAtItsMidpoint) {
    cameraFarAway();
    const Vec3 from(1.0f, -2.0f, 3.0f);
    const Vec3 to(2.5f, -0.5f, 4.0f);
    const int a = addPoint(from, true);
    const int b = addPoint(to, true);
    addLink(a, b);
    addLink(a, b);
    stepChains();
    const Vec3 middle = (from + to) * 0.5f;
    for (const ChainLink& link : chainLinks) {
        const velmo::Matrix& m = link.node->transform;
        expectVecNear(velmo::transformPoint(Vec3(0, 0, 0), m), middle, 1e-5f);
        expectVecNear(velmo::transformPoint(Vec3(0, 1, 0), m) - middle,
                      velmo::normalized(to - from), 1e-5f);
        // The three axes stay unit length and at right angles: no shear, no scale.
        const Vec3 x = velmo::transformPoint(Vec3(1, 0, 0), m) - middle;
        const Vec3 z = velmo::transformPoint(Vec3(0, 0, 1), m) - middle;
        EXPECT_NEAR(velmo::vecLength(x), 1.0f, 1e-5f);
        EXPECT_NEAR(velmo::vecLength(z), 1.0f, 1e-5f);
        EXPECT_NEAR(velmo::dot(x, z), 0.0f, 1e-5f);
        EXPECT_NEAR(velmo::dot(x, velmo::normalized(to - from)), 0.0f, 1e-5f);
    }
}

TEST_F(ChainPhysics, AChainSettlesTowardsItsRestLengths) {
    cameraFarAway();
    velmo::DummyNode anchor;
    velmo::DummyNode model;
    // Points 5 apart, twice the rest length: repeated steps pull the links in.
    buildChain(Vec3(0, 0, 0), &anchor, &model, Vec3(0.0f, -5.0f, 0.0f));
    for (ChainPoint& p : chainPoints)
        p.acceleration = Vec3(0, 0, 0);
    auto longest = [] {
        float worst = 0.0f;
        for (const ChainLink& link : chainLinks)
            worst = std::max(worst, std::fabs(velmo::vecLength(chainPoints[link.second].position -
                                                               chainPoints[link.first].position) -
                                              link.restLength));
        return worst;
    };
    const float before = longest();
    for (int i = 0; i < 600; ++i)
        stepChains();
    EXPECT_LT(longest(), before);
    for (const ChainPoint& p : chainPoints) {
        EXPECT_TRUE(std::isfinite(p.position.x) && std::isfinite(p.position.y) &&
                    std::isfinite(p.position.z));
    }
    expectVecNear(chainPoints[0].position, Vec3(0, 0, 0), 0.0f);
}

TEST_F(ChainPhysics, TheSharedStateStartsEmpty) {
    EXPECT_TRUE(chainPoints.empty());
    EXPECT_TRUE(chainLinks.empty());
    expectVecNear(finaleCameraPosition, Vec3(0, 0, 0), 0.0f);
    EXPECT_EQ(chainAnchor, nullptr);
    EXPECT_EQ(chainModel, nullptr);
}

} // namespace
