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
    // Worked out in double precision from u = 2.5 t, the direction d, the gain w and the spring
    // 0.025 P0. At t = 0 the gain is sin 0 + sin 0 + sin 0 cos 0 = 0: the spring alone.
    const struct {
        float t;
        Vec3 p0;
        Vec3 drive;
    } cases[] = {
        {0.0f, Vec3(0, 0, 0), Vec3(0, 0, 0)},
        {0.0f, Vec3(4, -8, 2), Vec3(-0.1f, 0.2f, -0.05f)},
        {160.0f, Vec3(0, 0, 0), Vec3(-0.349032f, 0.297497f, 0.296889f)},   // w = -0.156093
        {200.5f, Vec3(0, 0, 0), Vec3(-1.342153f, -4.996823f, 3.451436f)},  // w = 1.776996
        {200.5f, Vec3(4, -8, 2), Vec3(-1.442153f, -4.796823f, 3.401436f)}, // less 0.025 P0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        expectVecNear(finaleAnchorDrive(11.0f, c.t, c.p0), c.drive, 1e-4f);
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
    // 40 (sin q, sin 0.7q + cos 0.9q + cos 0.2q, sin 0.4q + cos q + sin 0.8q) with q = t / 2.
    expectVecNear(finaleCameraEye(0.0f), Vec3(0, 80, 40), 1e-4f);
    // q = pi: 40 (0, sin 0.7pi - cos 0.1pi + cos 0.2pi, sin 0.4pi - 1 + sin 0.2pi).
    expectVecNear(finaleCameraEye(2.0f * 3.14159265f), Vec3(0, 26.679099f, 21.553671f), 1e-3f);
    // The finale's start, q = 77.5.
    expectVecNear(finaleCameraEye(155.0f), Vec3(34.492450f, -36.798048f, -65.983879f), 1e-3f);
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
    // Inverse-square weights from the eye at (10, 0, 1): 1/101, 1 and 1/941, so the target is
    // (10 * 1, 0, 30 / 941) / (1/101 + 1 + 1/941).
    expectVecNear(finaleCameraTarget(Vec3(10, 0, 1), previous), Vec3(9.891552f, 0, 0.031535f),
                  1e-5f);
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
