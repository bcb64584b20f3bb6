// Cameras.
#include <gtest/gtest.h>

#include "support/expect_math.h"

#include <cmath>

#include "engine/math/matrix.h"
#include "engine/platform/engine.h"
#include "engine/scene/camera.h"

namespace {

using velmo::PerspectiveCamera;
using velmo::Vec3;

constexpr float kPi = 3.14159265358979f;



// The application frame with a window of the given settings (no window is opened).
class CameraTest : public ::testing::Test {
protected:
    void setWindow(uint32_t width, uint32_t height, float aspectRatio) {
        engine.window->settings.width = width;
        engine.window->settings.height = height;
        engine.window->settings.aspectRatio = aspectRatio;
    }

    void SetUp() override { setWindow(640, 360, 16.0f / 9.0f); }

    velmo::Engine engine;
};

float planeValue(const float plane[4], const Vec3& p) {
    return plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3];
}

bool insideAll(const float planes[6][4], const Vec3& p) {
    for (int k = 0; k < 6; ++k)
        if (planeValue(planes[k], p) < 0.0f)
            return false;
    return true;
}

TEST_F(CameraTest, ConstructedLookingAlongPlusZFromTheOrigin) {
    const PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    expectVecNear(camera.position, Vec3(0, 0, 0), 0.0f);
    expectVecNear(camera.target, Vec3(0, 0, 1), 0.0f);
    expectVecNear(camera.up, Vec3(0, 1, 0), 0.0f);
    EXPECT_EQ(camera.fovY, 1.3f);
    EXPECT_EQ(camera.zNear, 1.0f);
    EXPECT_EQ(camera.zFar, 200.0f);
    EXPECT_EQ(camera.roll, 0.0f);
    EXPECT_EQ(camera.getType(), 0);
    expectMatrixNear(camera.getView(), velmo::identityMatrix(), 0.0f);
}

TEST_F(CameraTest, PositionIsReadBackAsACopy) {
    PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    camera.position = Vec3(4, 5, 6);
    velmo::TCamera& base = camera;
    expectVecNear(base.getPosition(), Vec3(4, 5, 6), 0.0f);
}

TEST_F(CameraTest, ViewFollowsPositionAndTarget) {
    PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    camera.position = Vec3(0, 0, -5);
    camera.target = Vec3(0, 0, 0);
    expectMatrixNear(camera.getView(), velmo::makeTranslation(0, 0, 5), 1e-6f);

    // Nothing is cached: a moved camera gives a new view at once.
    camera.position = Vec3(10, 0, 0);
    const D3DXMATRIX view = camera.getView();
    expectVecNear(velmo::transformPoint(Vec3(0, 0, 0), view), Vec3(0, 0, 10));
    expectVecNear(velmo::transformPoint(Vec3(10, 0, 0), view), Vec3(0, 0, 0));
}

TEST_F(CameraTest, RollTurnsThePictureAboutTheViewingAxis) {
    PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    camera.roll = kPi / 2.0f;
    expectMatrixNear(camera.getView(), velmo::rotationZ(kPi / 2.0f), 0.0f);
    // A point on +x in front of the camera lands on +y in view space.
    expectVecNear(velmo::transformPoint(Vec3(1, 0, 5), camera.getView()), Vec3(0, 1, 5));

    // With a look-at, the roll acts after it.
    camera.position = Vec3(0, 0, -5);
    camera.target = Vec3(0, 0, 0);
    expectVecNear(velmo::transformPoint(Vec3(1, 0, 0), camera.getView()), Vec3(0, 1, 5));
}

struct AspectCase {
    uint32_t width, height; // the window
    float aspectRatio;      // the settings' aspect ratio
    DWORD viewportWidth, viewportHeight;
};

void PrintTo(const AspectCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " at " << c.aspectRatio;
}

class CameraAspect : public CameraTest, public ::testing::WithParamInterface<AspectCase> {};

TEST_P(CameraAspect, ProjectionTakesTheLetterboxAspect) {
    const AspectCase& c = GetParam();
    setWindow(c.width, c.height, c.aspectRatio);
    const D3DVIEWPORT9 viewport = engine.window->letterboxViewport();
    ASSERT_EQ(viewport.Width, c.viewportWidth);
    ASSERT_EQ(viewport.Height, c.viewportHeight);
    const float aspect = static_cast<float>(c.viewportWidth) / static_cast<float>(c.viewportHeight);

    const PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    const D3DXMATRIX p = camera.getProjection();
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f / std::tan(0.65f));
    EXPECT_FLOAT_EQ(p.m[0][0], p.m[1][1] / aspect);
    expectMatrixNear(p, velmo::perspectiveFovLH(1.3f, aspect, 1.0f, 200.0f), 1e-6f);
    EXPECT_EQ(p.m[3][3], 1.0f);
    EXPECT_EQ(p.m[2][3], 1.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, CameraAspect,
    ::testing::Values(
        // A 640 x 360 viewport (16:9 pillar-boxed in a wider window): m[0][0] = m[1][1] * 9 / 16.
        AspectCase{700, 360, 16.0f / 9.0f, 640, 360},
        // 640 x 480 at 16:9: the letterbox is 640 x 359.
        AspectCase{640, 480, 16.0f / 9.0f, 640, 359},
        // So is 640 x 360 at 16:9: the single-precision 16:9 is a hair above 16 / 9.
        AspectCase{640, 360, 16.0f / 9.0f, 640, 359},
        // A 1:1 picture inside a wide window: 480 x 480.
        AspectCase{800, 480, 1.0f, 480, 480},
        // A 4:3 picture inside a 5:4 window.
        AspectCase{1280, 1024, 4.0f / 3.0f, 1280, 959}));

TEST_F(CameraTest, SixteenByNineViewportScalesXByNineSixteenths) {
    setWindow(700, 360, 16.0f / 9.0f);
    const D3DXMATRIX p = PerspectiveCamera(1.3f, 1.0f, 200.0f).getProjection();
    EXPECT_FLOAT_EQ(p.m[0][0], p.m[1][1] * 9.0f / 16.0f);
}

TEST_F(CameraTest, ViewProjectionIsViewTimesProjection) {
    PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    camera.position = Vec3(3, 4, -20);
    camera.target = Vec3(-1, 0, 5);
    camera.roll = 0.4f;
    const velmo::TCamera& base = camera;
    expectMatrixNear(base.getViewProjection(),
                     velmo::multiplyMatrix(camera.getView(), camera.getProjection()), 0.0f);
}

TEST_F(CameraTest, FrustumPlanesOfAQuarterTurnFieldOfView) {
    setWindow(480, 480, 1.0f);
    const PerspectiveCamera camera(kPi / 2.0f, 1.0f, 101.0f);
    float planes[6][4];
    camera.getFrustum(planes);
    const float expected[6][4] = {
        {0, 0, 1.01f, -1.01f}, // near: z >= 1
        {0, 0, -0.01f, 2.01f}, // far: z <= 201, not 101, since m[3][3] = 1
        {0, -1, 1, 1},         // top
        {0, 1, 1, 1},          // bottom
        {1, 0, 1, 1},          // left
        {-1, 0, 1, 1},         // right
    };
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(planes[k][j], expected[k][j], 1e-5f) << "plane " << k << ", " << j;

    struct Case {
        Vec3 p;
        bool inside;
    };
    const Case cases[] = {
        {Vec3(0, 0, 50), true},    {Vec3(0, 0, 0.5f), false}, {Vec3(0, 0, 150), true},
        {Vec3(0, 0, 202), false},  {Vec3(0, 60, 50), false},  {Vec3(0, -60, 50), false},
        {Vec3(-60, 0, 50), false}, {Vec3(60, 0, 50), false},  {Vec3(40, -40, 50), true},
        {Vec3(0, 0, -10), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(insideAll(planes, c.p), c.inside) << c.p.x << ", " << c.p.y << ", " << c.p.z;
}

TEST_F(CameraTest, FrustumFollowsTheCamera) {
    setWindow(480, 480, 1.0f);
    PerspectiveCamera camera(kPi / 2.0f, 1.0f, 101.0f);
    camera.position = Vec3(100, 0, 0);
    camera.target = Vec3(100, 0, -1); // looking along -z
    float planes[6][4];
    camera.getFrustum(planes);
    EXPECT_TRUE(insideAll(planes, Vec3(100, 0, -50)));
    EXPECT_FALSE(insideAll(planes, Vec3(100, 0, 50)));
    EXPECT_FALSE(insideAll(planes, Vec3(0, 0, -50)));
}

TEST_F(CameraTest, ObjectFrustumIsInTheObjectSpaceOfTheWorldMatrix) {
    setWindow(480, 480, 1.0f);
    const PerspectiveCamera camera(kPi / 2.0f, 1.0f, 101.0f);
    float world[6][4], object[6][4];
    camera.getFrustum(world);
    camera.getObjectFrustum(object, velmo::identityMatrix());
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(object[k][j], world[k][j], 1e-6f);

    // An object placed 10 units ahead: its origin is at z = 10 in the world.
    camera.getObjectFrustum(object, velmo::makeTranslation(0, 0, 10));
    EXPECT_TRUE(insideAll(object, Vec3(0, 0, 0)));
    EXPECT_FALSE(insideAll(object, Vec3(0, 0, -9.5f)));
    EXPECT_TRUE(insideAll(object, Vec3(0, 0, 190)));
    EXPECT_FALSE(insideAll(object, Vec3(0, 0, 192)));
    EXPECT_FALSE(insideAll(object, Vec3(15, 0, 0)));
}

TEST_F(CameraTest, QueriesChangeNothing) {
    PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    camera.position = Vec3(1, 2, 3);
    camera.roll = 0.5f;
    float planes[6][4];
    camera.getView();
    camera.getProjection();
    camera.getViewProjection();
    camera.getFrustum(planes);
    camera.getObjectFrustum(planes, velmo::makeTranslation(1, 1, 1));
    expectVecNear(camera.position, Vec3(1, 2, 3), 0.0f);
    expectVecNear(camera.target, Vec3(0, 0, 1), 0.0f);
    EXPECT_EQ(camera.roll, 0.5f);
}

TEST_F(CameraTest, DeletedThroughTheBase) {
    velmo::TCamera* camera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
    delete camera;
}

} // namespace

namespace {

// With no application frame the camera projects at aspect 1 rather than
// reading a window that does not exist.
TEST(CameraWithoutEngine, ProjectsSquare) {
    ASSERT_EQ(velmo::Engine::instance(), nullptr);
    const velmo::PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    const D3DXMATRIX p = camera.getProjection();
    EXPECT_EQ(p.m[0][0], p.m[1][1]);
}

} // namespace
