#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo/block_shaker.h"
#include "demo/house_scene.h"
#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "demo/timeline.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/mesh_instance.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

// A spectrum row with bin 1 and the twelve upper bins (52 to 63) set.
std::vector<float> spectrumRow(float bin1, float upperBin) {
    std::vector<float> row(64, 0.0f);
    row[1] = bin1;
    for (int bin = 52; bin < 64; ++bin) {
        row[bin] = upperBin;
    }
    return row;
}

// ---- The camera, the grade and the kick quotient, on their own ----

struct PoseCase {
    float t;
    float lift;
    float radius;
    float heightAboveWave; // height - (cos(t / 6) * 0.7 + 2.9)
    float targetY;
    velmo::Vec3 up;
};

class HouseCameraPoseCases : public ::testing::TestWithParam<PoseCase> {};

TEST_P(HouseCameraPoseCases, CircleHeightTargetAndTilt) {
    const PoseCase c = GetParam();
    const HouseCameraPose pose = houseCameraPose(c.t, 9.0f, c.lift);
    EXPECT_NEAR(std::hypot(pose.position.x, pose.position.z), c.radius, 1e-4);
    EXPECT_NEAR(pose.position.y - (std::cos(c.t / 6.0f) * 0.7f + 2.9f), c.heightAboveWave, 1e-4);
    EXPECT_EQ(pose.target, velmo::Vec3(0.0f, c.targetY, 0.0f));
    EXPECT_EQ(pose.up, c.up);
    // The camera sits on the orbit angle: x = r sin a, z = r cos a.
    const float a = houseOrbitAngle(c.t, 9.0f);
    EXPECT_NEAR(pose.position.x, c.radius * std::sin(a), 1e-4);
    EXPECT_NEAR(pose.position.z, c.radius * std::cos(a), 1e-4);
}

const velmo::Vec3 upright(0.0f, 1.5f, 0.0f);
const velmo::Vec3 tilted(0.5f, 0.5f, 0.0f);

INSTANTIATE_TEST_SUITE_P(LiftZeroAndOne, HouseCameraPoseCases,
                         ::testing::Values(PoseCase{52.0f, 0.0f, 24.5f, 0.0f, -2.0f, upright},
                                           PoseCase{70.3f, 0.0f, 24.5f, 0.0f, -2.0f, upright},
                                           PoseCase{52.0f, 1.0f, 7.0f, 18.0f, -4.0f, tilted},
                                           PoseCase{99.95f, 1.0f, 7.0f, 18.0f, -4.0f, tilted},
                                           // Any lift other than exactly 0 tilts the picture.
                                           PoseCase{80.0f, 0.25f, 20.125f, 4.5f, -2.5f, tilted},
                                           PoseCase{80.0f, 1e-6f, 24.5f, 0.0f,
                                                    -2.0f * (1e-6f + 1.0f), tilted}));

TEST(HouseOrbit, BeforeTheFirstJumpTheSwingIsNine) {
    EXPECT_EQ(cameraSwing, 9.0f);
    for (float t : {52.0f, 64.2f, 90.0f, 128.45f}) {
        EXPECT_FLOAT_EQ(houseOrbitAngle(t, cameraSwing), (std::sin(t / 10.0f) * 0.5f + 9.0f) * 0.4f)
            << "t = " << t;
    }
}

struct QuotientCase {
    float e;
    std::optional<int32_t> q;
};

class KickQuotientCases : public ::testing::TestWithParam<QuotientCase> {};

TEST_P(KickQuotientCases, ConvertsOnlyFiniteQuotientsIn32Bits) {
    EXPECT_EQ(kickQuotient(GetParam().e), GetParam().q) << "e = " << GetParam().e;
}

INSTANTIATE_TEST_SUITE_P(
    ZeroTinyNotANumberAndOrdinary, KickQuotientCases,
    ::testing::Values(QuotientCase{0.0f, std::nullopt}, QuotientCase{-0.0f, std::nullopt},
                      QuotientCase{nan, std::nullopt}, QuotientCase{inf, 0}, QuotientCase{-inf, 0},
                      QuotientCase{1e-9f, std::nullopt}, QuotientCase{-1e-9f, std::nullopt},
                      // 10 / e exactly 2^31 is out of range; -2^31 still fits.
                      QuotientCase{0x5p-30f, std::nullopt}, QuotientCase{-0x5p-30f, INT32_MIN},
                      QuotientCase{0x1p-28f, std::nullopt}, QuotientCase{0x1p-27f, 1342177280},
                      QuotientCase{2.5f, 4}, QuotientCase{3.0f, 3}, QuotientCase{-4.0f, -2},
                      QuotientCase{20.0f, 0}));

struct GradeCase {
    bool intense;
    float bin1;
    float upperBin;
    float saturation;
    float value;
};

class HouseGradeCases : public ::testing::TestWithParam<GradeCase> {};

TEST_P(HouseGradeCases, SaturationFollowsTheBassAndValueTheUpperBandOnlyWhileIntense) {
    const GradeCase c = GetParam();
    const std::vector<float> row = spectrumRow(c.bin1, c.upperBin);
    const HouseGrade grade = houseGrade(row.data(), c.intense);
    EXPECT_FLOAT_EQ(grade.saturation, c.saturation);
    if (c.intense) {
        EXPECT_FLOAT_EQ(grade.value, c.value);
    } else {
        EXPECT_EQ(grade.value, 1.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CalmAndIntense, HouseGradeCases,
    ::testing::Values(GradeCase{false, 0.0f, 0.0f, 0.5f, 1.0f},
                      GradeCase{false, 0.25f, 0.05f, 1.0f, 1.0f},   // 0.5 + 1 / 2
                      GradeCase{false, 0.5f, 0.9f, 2.5f, 1.0f},     // 0.5 + 4 / 2
                      GradeCase{true, 0.25f, 0.0f, 1.5f, 1.0f},     // 0.5 + 1
                      GradeCase{true, 0.5f, 0.005f, 4.5f, 0.4f},    // 1 - 10 * 0.06
                      GradeCase{true, 0.0f, 0.025f, 0.5f, -2.0f})); // 1 - 10 * 0.3

TEST(HouseUpperBand, SumsBins52To63Only) {
    std::vector<float> row(64, 1000.0f);
    for (int bin = 52; bin < 64; ++bin) {
        row[bin] = static_cast<float>(bin - 51) * 0.125f;
    }
    EXPECT_EQ(upperBandEnergy(row.data()), 78.0f * 0.125f);
}

// ---- The built scene ----

// One tick from the swing 9 and the lift liftBefore, on a seed whose first draws take each branch.
// The draws listed are the generator's first values from the seed; e is 12 times the upper bin.
// Calm: a swing draw (% 10 == 1: a second draw, even 10, odd 7), a lift draw (% 15 == 1: a
// second draw, the new lift), then r1 and r2, a kick when r2 & int(10 / e) == 1. Intense: the
// swing draw, a flicker draw (% 3 == 1: a second draw, the texture), a lift draw (% 10 == 1:
// a second draw) with e added after it, then r1, a kick when r1 % 10 == 1. A kick takes four.
struct TickCase {
    const char* what;
    unsigned seed;
    bool intense;
    float upperBin;
    float liftBefore;
    float swing;
    float lift;
    bool kick;
    int flicker; // the chamfer texture chosen, -1 for none
    int draws;   // the values the tick takes from the generator
};

const TickCase tickCases[] = {
    // 45, 29216 (% 15 = 11), 24198, 17795; e = 0 never kicks.
    {"calm: nothing", 2, false, 0.0f, 0.0f, 9.0f, 0.0f, false, -1, 4},
    // 61 (% 10 = 1), 17422 (even), 15215 (% 15 = 5), 7040, 15521.
    {"calm: the swing jumps to 10", 7, false, 0.0f, 0.0f, 10.0f, 0.0f, false, -1, 5},
    // 41 (% 10 = 1), 18467 (odd), 6334 (% 15 = 4), 26500, 19169.
    {"calm: the swing jumps to 7", 1, false, 0.0f, 0.0f, 7.0f, 0.0f, false, -1, 5},
    // 365, 1216 (% 15 = 1), 5415 (odd), 16704, 24504 (& 1 = 0); e = 6 is not added.
    {"calm: the lift resets to 1", 100, false, 0.5f, 0.0f, 9.0f, 1.0f, false, -1, 5},
    // 430, 19576 (% 15 = 1), 2250 (even), 6450, 1420.
    {"calm: the lift resets to 0", 120, false, 0.0f, 0.5f, 9.0f, 0.0f, false, -1, 5},
    // 277, 5921 (% 15 = 11, though % 10 = 1), 14602, 22355.
    {"calm: the lift stays", 73, false, 0.0f, 0.5f, 9.0f, 0.5f, false, -1, 4},
    // e = 6, q = 1: 45, 29216, 24198, 17795 (& 1 = 1), then the kick's four.
    {"calm: q = 1 kicks", 2, false, 0.5f, 0.0f, 9.0f, 0.0f, true, -1, 8},
    // e = 3, q = 3: 54, 28693 (% 15 = 13), 12255, 24449 (& 3 = 1), then four.
    {"calm: q = 3 kicks", 5, false, 0.25f, 0.0f, 9.0f, 0.0f, true, -1, 8},
    // e = 3, q = 3: r2 = 17795 is odd but & 3 = 3.
    {"calm: q = 3 does not kick", 2, false, 0.25f, 0.0f, 9.0f, 0.0f, false, -1, 4},
    // e = 1.5, q = 6: r2 = 24449 is 1 modulo 8, yet & 6 = 0; an even q never kicks.
    {"calm: q = 6 does not kick", 5, false, 0.125f, 0.0f, 9.0f, 0.0f, false, -1, 4},
    // e = 0.375: 45, 29216 (% 3 = 2), 24198 (% 10 = 8), 17795 (% 10 = 5).
    {"intense: the lift grows by e", 2, true, 0.03125f, 0.5f, 9.0f, 0.875f, false, -1, 4},
    // 64, 28170 (% 3 = 0), 311 (% 10 = 1), 31103 (odd), 25835.
    {"intense: the lift resets to 1", 8, true, 0.03125f, 0.5f, 9.0f, 1.375f, false, -1, 5},
    // 250, 18237 (% 3 = 0), 2761 (% 10 = 1), 26456 (even), 23942.
    {"intense: the lift resets to 0", 65, true, 0.03125f, 0.5f, 9.0f, 0.375f, false, -1, 5},
    // 48, 7196 (% 3 = 2), 9294, 9091 (% 10 = 1), then four.
    {"intense: a kick", 3, true, 0.03125f, 0.0f, 9.0f, 0.375f, true, -1, 8},
    // 54, 28693 (% 3 = 1), 12255 (odd), 24449, 27660.
    {"intense: texture 1", 5, true, 0.0f, 0.0f, 9.0f, 0.0f, false, 1, 5},
    // 162, 22942 (% 3 = 1), 11948 (even), 32107, 7593.
    {"intense: texture 0", 38, true, 0.0f, 0.0f, 9.0f, 0.0f, false, 0, 5},
    // 7781 (% 10 = 1), 31455 (odd), 8164 (% 3 = 1), 7465 (odd), 19783, 15961 (% 10 = 1), four.
    {"intense: all at once", 2371, true, 0.03125f, 0.0f, 7.0f, 0.375f, true, 1, 10},
};

// Records the time step that the scene's update walk hands its nodes.
class TimeStepRecorder : public velmo::DummyNode {
public:
    void update(const D3DXMATRIX*, float t) override { steps.push_back(t); }
    std::vector<float> steps;
};

// The scene built in a folder of its own, whose data/ holds only what the test writes there.
class HouseScene : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previousFolder = std::filesystem::current_path();
        std::filesystem::create_directories(scratch.path() / "data");
        std::filesystem::current_path(scratch.path());
        loader = std::make_unique<velmo::MeshLoader>();
        sharedModelLoader = loader.get();
        blockShaker = BlockShaker();
        cameraSwing = 9.0f;
        cameraLift = 0.0f;
        houseLastTime = nan;
        houseSceneIntense = false;
        setSpectrum(0.0f, 0.0f);
        demoSrand(1);
    }

    void TearDown() override {
        freeHouseScene();
        // The loader leaves the trees it builds to the caller: free the house read here.
        velmo::deleteTree(taloModel);
        taloModel = nullptr;
        sharedModelLoader = nullptr;
        currentSpectrumRow = nullptr;
        std::filesystem::current_path(previousFolder);
        EngineTest::TearDown();
    }

    void setSpectrum(float bin1, float upperBin) {
        row = spectrumRow(bin1, upperBin);
        currentSpectrumRow = row.data();
    }

    // Wobbles that started on the last tick (a kick's wobble has one step behind it).
    static int newWobbles() {
        int count = 0;
        for (const auto& wobble : blockShaker.wobbles) {
            count += wobble->framesLeft == 9 ? 1 : 0;
        }
        return count;
    }

    // Runs c's tick at t and gives the number of values it took from the generator (up to
    // 20; -1 beyond).
    int tick(const TickCase& c, float t) {
        cameraSwing = 9.0f;
        cameraLift = c.liftBefore;
        houseSceneIntense = c.intense;
        setSpectrum(0.0f, c.upperBin);
        demoSrand(c.seed);
        updateHouseScene(t);
        const int next = demoRand();
        demoSrand(c.seed);
        for (int taken = 0; taken <= 20; ++taken) {
            if (demoRand() == next) {
                return taken;
            }
        }
        return -1;
    }

    ScratchDir scratch;
    MessageBoxRecorder boxes;
    std::filesystem::path previousFolder;
    std::unique_ptr<velmo::MeshLoader> loader;
    std::vector<float> row;
};

TEST_F(HouseScene, WithoutModelsTheArmAndRingsAreBuiltWithNoNullChildren) {
    buildHouseScene();
    EXPECT_EQ(taloModel, nullptr);
    EXPECT_EQ(houseBlockModel, nullptr);
    EXPECT_EQ(chamferPart, nullptr);
    EXPECT_TRUE(sharedModelLoader->negateNormals);
    EXPECT_TRUE(sharedModelLoader->singleTextureSet);

    const velmo::SceneRoot* root = houseScene->root;
    ASSERT_EQ(root->children.size(), 8u);
    EXPECT_EQ(root->children.back(), houseLight);
    EXPECT_EQ(root->camera, houseCamera);
    for (velmo::INode* child : root->children) {
        ASSERT_NE(child, nullptr);
    }
    auto ring = root->children.begin();
    for (int i = 0; i < 7; ++i, ++ring) {
        EXPECT_EQ((*ring)->name, "kilinvittu");
        EXPECT_EQ((*ring)->children, velmo::INode::ChildList{armNodes[0]});
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(armNodes[k]->children, velmo::INode::ChildList{armNodes[k + 1]}) << k;
    }
    EXPECT_EQ(armNodes[3]->children, velmo::INode::ChildList{armTip});
    EXPECT_EQ(blockShaker.root, root->children.front());
    EXPECT_EQ(blockShaker.nodes, (std::vector<velmo::INode*>{armNodes[0], armNodes[1], armNodes[2],
                                                             armNodes[3], armTip}));

    // The arm runs out along its first holder's x axis, each level 1.2 times larger and 8.16 of
    // its parent's units further out.
    velmo::Matrix world = armNodes[0]->transform;
    for (int k = 1; k < 4; ++k) {
        world = velmo::multiplyMatrix(armNodes[k]->transform, world);
        EXPECT_NEAR(world._41, -8.16 * 1.2 * (std::pow(1.2, k) - 1.0) / 0.2, 1e-2) << k;
        EXPECT_NEAR(world._11, -std::pow(1.2, k + 1), 1e-3) << k;
    }
    EXPECT_EQ(armTip->transform, armNodes[3]->transform);

    EXPECT_TRUE(root->blurMapEnabled);
    EXPECT_NE(houseScene->extraTarget(), nullptr);
    EXPECT_EQ(houseScene->velocityScale, 0.06f);

    // Ticks of both kinds run without the models, flicker draws included.
    setSpectrum(0.3f, 0.01f);
    for (int i = 0; i < 200; ++i) {
        houseSceneIntense = i % 2 == 0;
        updateHouseScene(60.0f + 0.05f * static_cast<float>(i));
    }
}

TEST_F(HouseScene, WithoutALoaderTheSceneIsBuiltWithoutModels) {
    sharedModelLoader = nullptr;
    buildHouseScene();
    EXPECT_EQ(houseScene->root->children.size(), 8u);
    updateHouseScene(60.0f);
}

TEST_F(HouseScene, OnlyTheFirstTickOfAFrameHasATimeStep) {
    buildHouseScene();
    TimeStepRecorder recorder;
    houseScene->root->addChild(&recorder);
    struct Tick {
        float t;
        float dt;
    };
    const Tick ticks[] = {{60.0f, 0.0f},         {60.0f, 0.0f},  {60.05f, 60.05f - 60.0f},
                          {60.05f, 0.0f},        {60.05f, 0.0f}, {60.2f, 60.2f - 60.05f},
                          {61.0f, 61.0f - 60.2f}};
    for (const Tick& tick : ticks) {
        updateHouseScene(tick.t);
    }
    houseScene->root->removeChild(&recorder);
    ASSERT_EQ(recorder.steps.size(), std::size(ticks));
    for (size_t i = 0; i < std::size(ticks); ++i) {
        EXPECT_EQ(recorder.steps[i], ticks[i].dt) << "tick " << i;
    }
}

TEST_F(HouseScene, TicksDrawInTheirOrderAndSetSwingLiftAndCamera) {
    buildHouseScene();
    float t = 53.0f;
    for (const TickCase& c : tickCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tick(c, t), c.draws);
        EXPECT_EQ(cameraSwing, c.swing);
        EXPECT_EQ(cameraLift, c.lift);
        EXPECT_EQ(newWobbles(), c.kick ? 1 : 0);
        const HouseCameraPose pose = houseCameraPose(t, c.swing, c.lift);
        EXPECT_EQ(houseCamera->position, pose.position);
        EXPECT_EQ(houseCamera->target, pose.target);
        EXPECT_EQ(houseCamera->up, pose.up);
        EXPECT_EQ(velmo::getTranslation(houseLight->transform), pose.position);
        t += 0.05f;
    }
}

TEST_F(HouseScene, KicksNeverWithAQuietBandWhenCalmAndOneInTenWhenIntense) {
    buildHouseScene();
    int kicks = 0;
    for (int i = 0; i < 2000; ++i) {
        updateHouseScene(53.0f);
        kicks += newWobbles();
    }
    EXPECT_EQ(kicks, 0);
    EXPECT_TRUE(blockShaker.wobbles.empty());

    houseSceneIntense = true;
    for (int i = 0; i < 2000; ++i) {
        updateHouseScene(80.0f);
        kicks += newWobbles();
    }
    EXPECT_GT(kicks, 150);
    EXPECT_LT(kicks, 250);
}

TEST_F(HouseScene, AfterEveryTickTheArmsLowestOriginRestsAtMinusEight) {
    buildHouseScene();
    updateHouseScene(60.0f);
    // Straight, the arm lies at its base's height: the base goes down to -8.
    EXPECT_FLOAT_EQ(armNodes[0]->transform._42, -8.0f);

    houseSceneIntense = true;
    setSpectrum(0.0f, 0.001f);
    bool moved = false;
    for (int i = 0; i < 400; ++i) {
        const float before = armNodes[0]->transform._42;
        updateHouseScene(80.0f + 0.05f * static_cast<float>(i));
        moved = moved || armNodes[0]->transform._42 != before;
        BlockShaker scan;
        scan.root = blockShaker.root;
        scan.findLowest();
        ASSERT_NEAR(scan.lowestHeight, -8.0f, 1e-3) << "tick " << i;
    }
    EXPECT_TRUE(moved);
}

TEST_F(HouseScene, ARenderDrawsOneValueFromTheGenerator) {
    buildHouseScene();
    updateHouseScene(60.0f);
    demoSrand(5);
    demoRand();
    const int afterOne = demoRand();
    demoSrand(5);
    demoTime = 60.0f;
    renderHouseScene();
    EXPECT_EQ(demoRand(), afterOne);
}

// A house of one triangle: the part "ChamferCyl01" as a textured mesh, as a frame without a
// mesh, or absent.
enum class Chamfer { Mesh, FrameOnly, Absent };

std::string houseFile(Chamfer chamfer) {
    const std::string mesh = R"(
    Mesh {
      3; 0;0;0;, 1;0;0;, 0;1;0;;
      1; 3;0,1,2;;
      MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }
      MeshMaterialList { 1; 1; 0;;
        Material { 1;1;1;1;; 8; 1;1;1;; 0;0;0;; TextureFilename { "chamfer.png"; } }
      }
    })";
    const std::string name = chamfer == Chamfer::Absent ? "Wall01" : "ChamferCyl01";
    return "xof 0303txt 0032\nFrame " + name +
           " {\n  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
           "0.0,2.0,0.0,1.0;; }" +
           (chamfer == Chamfer::FrameOnly ? "" : mesh) + "\n}\n";
}

class HouseSceneChamfer : public HouseScene, public ::testing::WithParamInterface<Chamfer> {};

TEST_P(HouseSceneChamfer, ThePartIsFoundOnceAndFlickersOnlyWhenItIsAMesh) {
    const std::string text = houseFile(GetParam());
    writeFile("data/talo.x", text.data(), text.size());
    buildHouseScene();
    ASSERT_NE(taloModel, nullptr);
    EXPECT_EQ(houseScene->root->children.front(), taloModel);
    EXPECT_NE(chamferTextures[1], nullptr);
    if (GetParam() != Chamfer::Mesh) {
        EXPECT_EQ(chamferPart, nullptr);
    } else {
        ASSERT_NE(chamferPart, nullptr);
        EXPECT_EQ(chamferPart->name, "ChamferCyl01");
        const velmo::Material& material = chamferPart->material;
        EXPECT_EQ(material.ambient, D3DXVECTOR4(0.75f, 0.75f, 0.75f, 0.75f));
        EXPECT_EQ(material.diffuse, D3DXVECTOR4(5.0f, 5.0f, 5.0f, 5.0f));
        EXPECT_EQ(material.specular, D3DXVECTOR4(20.0f, 20.0f, 20.0f, 20.0f));
        EXPECT_EQ(material.specularPower, 8.0f);
        EXPECT_NE(chamferTextures[0], nullptr);
        EXPECT_EQ(material.texture, chamferTextures[0]);
    }

    // Intense ticks draw the flicker whether or not there is a part to flicker.
    velmo::Texture* shown = chamferTextures[0];
    for (const TickCase& c : tickCases) {
        if (!c.intense) {
            continue;
        }
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tick(c, 90.0f), c.draws);
        if (c.flicker >= 0) {
            shown = chamferTextures[c.flicker];
        }
        if (chamferPart != nullptr) {
            EXPECT_EQ(chamferPart->material.texture, shown);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(MeshFrameOrAbsent, HouseSceneChamfer,
                         ::testing::Values(Chamfer::Mesh, Chamfer::FrameOnly, Chamfer::Absent));

TEST(HouseSceneUnbuilt, TicksAndFramesDoNothingAndDrawNothing) {
    demoSrand(9);
    const int first = demoRand();
    demoSrand(9);
    updateHouseScene(60.0f);
    renderHouseScene();
    EXPECT_EQ(demoRand(), first);
}

} // namespace
