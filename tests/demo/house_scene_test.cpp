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

// What one update draws from the generator, in the order the scene must draw it, and what it
// makes of the draws.
struct TickDraws {
    std::optional<int> swing;
    std::optional<int> flicker;
    std::optional<int> liftReset;
    bool kick = false;
};

TickDraws expectedDraws(bool intense, float e) {
    TickDraws d;
    if (demoRand() % 10 == 1) {
        d.swing = demoRand() % 2;
    }
    if (intense && demoRand() % 3 == 1) {
        d.flicker = demoRand() % 2;
    }
    if (demoRand() % (intense ? 10 : 15) == 1) {
        d.liftReset = demoRand() % 2;
    }
    const int r1 = demoRand();
    if (intense) {
        d.kick = r1 % 10 == 1;
    } else {
        const int r2 = demoRand();
        const float q = 10.0f / e;
        d.kick = q >= -2147483648.0f && q < 2147483648.0f && (r2 & static_cast<int32_t>(q)) == 1;
    }
    if (d.kick) {
        for (int i = 0; i < 4; ++i) { // the node and the three rates
            demoRand();
        }
    }
    return d;
}

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
    struct Span {
        bool intense;
        float upperBin;
        int ticks;
    };
    // Calm with a quiet band, intense (the lift grows by e = 12 * 0.03125 on every tick), calm
    // with a loud band (e = 6, so the quotient 1 kicks on every odd draw).
    const Span spans[] = {{false, 0.0f, 60}, {true, 0.03125f, 120}, {false, 0.5f, 120}};
    for (unsigned seed : {1u, 77u, 4242u}) {
        demoSrand(seed);
        std::vector<TickDraws> expected;
        for (const Span& span : spans) {
            for (int i = 0; i < span.ticks; ++i) {
                expected.push_back(expectedDraws(span.intense, 12.0f * span.upperBin));
            }
        }
        const int nextDraw = demoRand();

        demoSrand(seed);
        float t = 53.0f;
        size_t tick = 0;
        for (const Span& span : spans) {
            houseSceneIntense = span.intense;
            setSpectrum(0.0f, span.upperBin);
            const float e = upperBandEnergy(row.data());
            for (int i = 0; i < span.ticks; ++i, ++tick, t += 0.05f) {
                const TickDraws& want = expected[tick];
                const float swing = want.swing ? 10.0f - 3.0f * float(*want.swing) : cameraSwing;
                float lift = want.liftReset ? float(*want.liftReset) : cameraLift;
                if (span.intense) {
                    lift += e;
                }
                updateHouseScene(t);
                ASSERT_EQ(cameraSwing, swing) << "seed " << seed << " tick " << tick;
                ASSERT_EQ(cameraLift, lift) << "seed " << seed << " tick " << tick;
                ASSERT_EQ(newWobbles(), want.kick ? 1 : 0) << "seed " << seed << " tick " << tick;
                const HouseCameraPose pose = houseCameraPose(t, swing, lift);
                ASSERT_EQ(houseCamera->position, pose.position);
                ASSERT_EQ(houseCamera->target, pose.target);
                ASSERT_EQ(houseCamera->up, pose.up);
                ASSERT_EQ(velmo::getTranslation(houseLight->transform), pose.position);
            }
        }
        EXPECT_EQ(demoRand(), nextDraw) << "seed " << seed;
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
    houseSceneIntense = true;
    demoSrand(31);
    std::vector<TickDraws> expected;
    for (int i = 0; i < 200; ++i) {
        expected.push_back(expectedDraws(true, 0.0f));
    }
    const int nextDraw = demoRand();
    demoSrand(31);
    velmo::Texture* shown = chamferTextures[0];
    int flickers = 0;
    for (const TickDraws& want : expected) {
        updateHouseScene(90.0f);
        if (want.flicker) {
            shown = chamferTextures[*want.flicker];
            ++flickers;
        }
        if (chamferPart != nullptr) {
            ASSERT_EQ(chamferPart->material.texture, shown);
        }
    }
    EXPECT_GT(flickers, 40);
    EXPECT_EQ(demoRand(), nextDraw);
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
