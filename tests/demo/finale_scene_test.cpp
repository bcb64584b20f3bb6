#include <gtest/gtest.h>

#include <cmath>

#include "demo/chain_physics.h"
#include "demo/finale_scene.h"
#include "demo/spectrum.h"
#include "engine/math/matrix.h"
#include "engine/render/mesh_instance.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/message_boxes.h"

namespace {

using velmo::Vec3;

const float h = 1.0f / 60.0f;

Vec3 row(const D3DXMATRIX& m, int i) {
    return Vec3(m.m[i][0], m.m[i][1], m.m[i][2]);
}

// Rows 0 to 2 are unit length and pairwise perpendicular, the fourth column is (0, 0, 0, 1).
void expectOrthonormal(const D3DXMATRIX& m) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(velmo::vecLength(row(m, i)), 1.0f, 1e-5f) << "row " << i;
        EXPECT_EQ(m.m[i][3], 0.0f);
        for (int j = i + 1; j < 3; ++j)
            EXPECT_NEAR(velmo::dot(row(m, i), row(m, j)), 0.0f, 1e-5f) << i << "," << j;
    }
    EXPECT_EQ(m.m[3][3], 1.0f);
}

// Twenty straight chains of twenty points along x, z spread; only the positions matter here.
void layChains() {
    chainPoints.clear();
    for (int k = 0; k < chainCount; ++k) {
        for (int j = 0; j < pointsPerChain; ++j) {
            ChainPoint point;
            point.position = Vec3(float(j), -float(k), float(k) * 0.5f);
            point.previous = point.position;
            point.fixed = j == 0;
            chainPoints.push_back(point);
        }
    }
}

TEST(FinaleDrive, StandsStillUntilTheClockPassesTenSeconds) {
    const struct {
        float clock;
        bool moves;
    } cases[] = {{0.05f, false}, {9.95f, false}, {10.0f, false}, {10.05f, true}, {60.0f, true}};
    for (const auto& c : cases) {
        const Vec3 drive = finaleAnchorDrive(c.clock, 171.3f, Vec3(0, 0, 0));
        EXPECT_EQ(velmo::vecLengthSq(drive) > 0.0f, c.moves) << "clock " << c.clock;
    }
}

TEST(FinaleDrive, IsTheSwingAlongTheSinePathMinusASpringToTheCentre) {
    for (float t : {160.0f, 171.3f, 200.5f}) {
        const float u = 2.5f * t;
        const Vec3 d =
            velmo::normalized(Vec3(std::cos(1.1f * u) + std::sin(0.4f * u) * std::cos(0.6f * u),
                                   std::sin(0.2f * u) + std::sin(u) * std::cos(0.2f * u),
                                   std::cos(1.2f * u) + std::cos(0.2f * u)));
        const float w =
            std::sin(0.5f * u / 3) + std::sin(0.2f * u / 3) + std::sin(u / 3) * std::cos(u);
        const Vec3 p0(4.0f, -8.0f, 2.0f);
        expectVecNear(finaleAnchorDrive(11.0f, t, Vec3(0, 0, 0)), 3.5f * w * d, 1e-5f);
        expectVecNear(finaleAnchorDrive(11.0f, t, p0), 3.5f * w * d - 0.025f * p0, 1e-5f);
    }
}

TEST(FinaleStatue, StandsUprightAtTheMeanWhileTheAnchorsRest) {
    const D3DXMATRIX m = finaleStatueFrame(Vec3(0, 0, 0), Vec3(1, 2, 3));
    const float r = 1.0f / std::sqrt(2.0f);
    expectVecNear(row(m, 0), Vec3(r, 0, r));
    expectVecNear(row(m, 1), Vec3(0, 1, 0));
    expectVecNear(row(m, 2), Vec3(r, 0, -r));
    expectVecNear(row(m, 3), Vec3(1, 2, 3));
}

TEST(FinaleStatue, FrameIsOrthonormalWithItsYAxisAlongTheDrive) {
    const Vec3 drives[] = {Vec3(0.3f, 0.1f, -2.0f), Vec3(-1, 0, 0), Vec3(0, -4, 0),
                           Vec3(2, 1.999f, 2)};
    for (const Vec3& drive : drives) {
        const D3DXMATRIX m = finaleStatueFrame(drive, Vec3(0, 0, 0));
        expectOrthonormal(m);
        expectVecNear(row(m, 1), velmo::normalized(drive), 1e-5f);
    }
}

TEST(FinaleStatue, ADriveAlongTheDiagonalStillGivesAnInvertibleFrame) {
    for (float k : {1.0f, -3.0f, 1e-4f}) {
        const D3DXMATRIX m = finaleStatueFrame(Vec3(k, k, k), Vec3(5, 0, 0));
        expectOrthonormal(m);
        D3DXMATRIX inverse;
        EXPECT_NE(D3DXMatrixInverse(&inverse, nullptr, &m), nullptr) << k;
    }
}

TEST(FinaleCamera, CirclesOnItsPath) {
    expectVecNear(finaleCameraEye(0.0f), Vec3(0, 80, 40), 1e-4f);
    const float q = 77.5f;
    expectVecNear(finaleCameraEye(155.0f),
                  40.0f * Vec3(std::sin(q),
                               std::sin(0.7f * q) + std::cos(0.9f * q) + std::cos(0.2f * q),
                               std::sin(0.4f * q) + std::cos(q) + std::sin(0.8f * q)),
                  1e-3f);
}

TEST(FinaleCamera, AimsAtTheNearestPointsAndNeverAtNaN) {
    chainPoints.clear();
    const Vec3 previous(7, 7, 7);
    // No chain at all: nothing to weigh, the previous target stays.
    expectVecNear(finaleCameraTarget(Vec3(0, 0, 0), previous), previous);

    ChainPoint point;
    for (Vec3 p : {Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 0, 30)}) {
        point.position = p;
        chainPoints.push_back(point);
    }
    // A point on the eye itself dominates but leaves the target finite.
    const Vec3 atEye = finaleCameraTarget(Vec3(0, 0, 0), previous);
    EXPECT_TRUE(std::isfinite(atEye.x) && std::isfinite(atEye.y) && std::isfinite(atEye.z));
    expectVecNear(atEye, Vec3(0, 0, 0), 1e-4f);
    // Inverse-square weights: 1/100 for (0,0,0), 1 for (10,0,0)... from the eye at (10,0,1).
    const Vec3 eye(10, 0, 1);
    float ws = 0.0f;
    Vec3 sum(0, 0, 0);
    for (const ChainPoint& p : chainPoints) {
        const float w = 1.0f / velmo::vecLengthSq(eye - p.position);
        ws += w;
        sum += w * p.position;
    }
    expectVecNear(finaleCameraTarget(eye, previous), sum / ws, 1e-4f);
}

TEST(FinaleTick, MovesEveryAnchorByTheDriveAndPlacesLightAndStatue) {
    layChains();
    chainLight = new velmo::NodePointlight(0, 0, 0, 7, 1, 250, 1, 0.1f, 0.1f, 1);
    libertyModel = new velmo::DummyNode;
    // 199 ticks stay below 10 s on the finale clock: the anchors have not moved yet.
    for (int i = 0; i < 199; ++i)
        updateFinaleScene(0.05f, 165.0f);
    EXPECT_EQ(chainPoints[0].position, Vec3(0, 0, 0));
    expectVecNear(row(libertyModel->transform, 1), Vec3(0, 1, 0));
    expectVecNear(row(libertyModel->transform, 3), Vec3(0, -9.5f, 4.75f), 1e-5f);

    const std::vector<ChainPoint> before = chainPoints;
    updateFinaleScene(0.1f, 171.3f);
    const Vec3 drive = finaleAnchorDrive(finaleClock, 171.3f, before[0].position);
    ASSERT_GT(velmo::vecLengthSq(drive), 0.0f);
    Vec3 mean(0, 0, 0);
    for (size_t i = 0; i < chainPoints.size(); ++i) {
        const bool anchor = i % pointsPerChain == 0;
        expectVecNear(chainPoints[i].position,
                      before[i].position + (anchor ? drive : Vec3(0, 0, 0)), 1e-5f);
        if (anchor)
            mean += chainPoints[i].position;
    }
    expectVecNear(row(libertyModel->transform, 3), mean / 20.0f, 1e-4f);
    expectVecNear(row(libertyModel->transform, 1), velmo::normalized(drive), 1e-5f);
    expectVecNear(velmo::getTranslation(chainLight->transform), chainPoints[0].position);
    delete chainLight;
    delete libertyModel;
}

class FinaleSceneTest : public EngineTest {};

TEST_F(FinaleSceneTest, BuildsAndRendersWithoutModelsAndStepsPhysicsAtSixtyPerSecond) {
    MessageBoxRecorder boxes;
    float silent[64] = {};
    currentSpectrumRow = silent;
    buildFinaleScene();
    ASSERT_NE(finaleScene, nullptr);
    ASSERT_EQ(chainPoints.size(), 400u);
    // No null node ever reaches the scene: every child is walkable.
    for (velmo::INode* child : finaleScene->root->children)
        EXPECT_NE(child, nullptr);
    EXPECT_EQ(finaleScene->root->lights.size(), 2u);

    // A chain point right where the camera stood (the origin before the first frame).
    chainPoints[21].position = Vec3(0, 0, 0);
    renderFinaleScene(155.0f);
    EXPECT_EQ(physicsClock, 155.0f);
    const D3DXMATRIX view = finaleCamera->getView();
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(std::isfinite(view.m[i / 4][i % 4]));
    expectVecNear(finaleCameraPosition, finaleCameraEye(155.0f));

    for (float t : {155.05f, 155.06f, 156.5f}) {
        renderFinaleScene(t);
        EXPECT_LE(physicsClock, t);
        EXPECT_LT(t - physicsClock, h);
    }
}

} // namespace
