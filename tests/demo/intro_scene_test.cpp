// The intro: the numbers it derives from the time and the spectrum (fade, twist, distortions,
// camera, smoke puffs), and the built scene driven by ticks and frames: the camera on its
// paths, the twist on the shared effect, the stages of the picture, and a scene whose model
// files are missing.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <filesystem>
#include <memory>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "demo/intro_scene.h"
#include "demo/particles.h"
#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "engine/math/matrix.h"
#include "engine/math/spline.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/mesh_font.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/particle_system.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/images.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

using velmo::Vec3;

velmo::Matrix scalingMatrix(float s) {
    velmo::Matrix m;
    D3DXMatrixScaling(&m, s, s, s);
    return m;
}

// A spectrum row with the first bin (the bass) and the top twelve bins (the treble) set.
std::vector<float> spectrumRow(float s0, float trebleBin) {
    std::vector<float> row(SpectrumData::binsPerRow, 0.0f);
    row[0] = s0;
    for (size_t bin = 52; bin < row.size(); ++bin) {
        row[bin] = trebleBin;
    }
    return row;
}

TEST(IntroNumbers, PictureStagesFollowTimeAndTreble) {
    struct Case {
        float t, trebleBin;
        float value, late, distortion, mapDistortion;
    };
    // Twelve treble bins of 0.1 sum to 1.2.
    const Case cases[] = {
        {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},         {5.0f, 0.0f, 0.45f, 0.0f, 0.0f, 0.0f},
        {10.0f, 0.0f, 0.9f, 0.0f, 0.0f, 0.0f},        {20.0f, 0.1f, 0.9f, 0.0f, 0.012f, -0.012f},
        {47.0f, 0.0f, 0.9f, 0.0f, 0.0f, 0.0f},        {49.0f, 0.0f, 0.9f, 0.004f, 0.004f, 0.002f},
        {49.0f, 0.1f, 0.9f, 0.004f, 0.016f, -0.010f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t << ", treble bin " << c.trebleBin);
        const std::vector<float> row = spectrumRow(0.7f, c.trebleBin);
        const IntroStages s = introStagesAt(c.t, row.data());
        EXPECT_NEAR(s.value, c.value, 1e-6f);
        EXPECT_NEAR(s.late, c.late, 1e-6f);
        EXPECT_NEAR(s.distortion, c.distortion, 1e-6f);
        EXPECT_NEAR(s.mapDistortion, c.mapDistortion, 1e-6f);
    }
}

TEST(IntroNumbers, TwistFallsUntilItJumpsTo0Point1) {
    const struct {
        float t, k;
    } cases[] = {{0.0f, 48.0f / 26.0f},
                 {20.0f, 28.0f / 26.0f},
                 {47.85f, 0.15f / 26.0f},
                 {47.95f, 0.1f},
                 {51.9f, 0.1f}};
    for (const auto& c : cases) {
        EXPECT_NEAR(introTwistAt(c.t), c.k, 1e-5f) << "t = " << c.t;
    }
}

TEST(IntroNumbers, CameraReadsEyePointsAsAngleRadiusAndHeight) {
    expectVecNear(introEyeAt(Vec3(6.75f, 19.5f, 84.5f)),
                  Vec3(19.5f * std::sin(2.7f), 84.5f, 19.5f * std::cos(2.7f)), 1e-5f);
    expectVecNear(introTargetAt(130.0f, 0.0f), Vec3(2.4f, 130.0f, 0.0f));
    expectVecNear(introTargetAt(33.5f, 100.0f),
                  Vec3(2.4f * std::cos(1.0f), 33.5f, 1.4f * std::sin(1.4f)), 1e-6f);
}

TEST(IntroNumbers, SmokePuffGrowsWithBassAndJittersAroundTheEmitter) {
    const struct { float bass, size, alpha; } cases[] = {{0.0f, 10.0f, 0.35f}, {1.0f, 13.0f, 0.8f}};
    const Vec3 emitter(10.0f, -20.0f, 30.0f);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bass " << c.bass);
        // The puff takes three draws: the first offsets z, the second y, the third x.
        demoSrand(77);
        const float r1 = demoRandomDraw(), r2 = demoRandomDraw(), r3 = demoRandomDraw();
        demoSrand(77);
        std::unique_ptr<velmo::TextureParticle> puff(makeSmokeParticle(c.bass, emitter));
        EXPECT_FLOAT_EQ(puff->size, c.size);
        EXPECT_FLOAT_EQ(puff->alpha, c.alpha);
        EXPECT_FLOAT_EQ(puff->x, emitter.x + 2.5f * r3);
        EXPECT_FLOAT_EQ(puff->y, emitter.y + 2.5f * r2);
        EXPECT_FLOAT_EQ(puff->z, emitter.z + 2.5f * r1);
        EXPECT_NE(r1, r3);
    }
}

// A working folder whose data/ holds the build's data except the intro's model files, which a
// test may write itself; the intro is built there through a fresh model loader and a built
// wide font.
class IntroScene : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        namespace fs = std::filesystem;
        original = fs::current_path();
        fs::create_directory(scratch.path() / "data");
        for (const fs::directory_entry& entry : fs::directory_iterator(original / "data")) {
            const fs::path name = entry.path().filename();
            if (!isIntroModel(name.string())) {
                fs::create_symlink(entry.path(), scratch.path() / "data" / name);
            }
        }
        fs::current_path(scratch.path());
        writePicture("smog.jpg", true);
        currentSpectrumRow = row.data();
        sharedModelLoader = new velmo::MeshLoader;
    }
    void TearDown() override {
        std::filesystem::current_path(original);
        currentSpectrumRow = nullptr;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    // The files a test writes itself.
    static bool isIntroModel(const std::string& name) {
        for (const char* model :
             {"SkyTeaPot.x", "quellan2.x", "quelmobile2.x", "town.x", "valot.x", "smog.jpg"}) {
            if (name == model) {
                return true;
            }
        }
        return false;
    }

    // A small grey picture in data/.
    static void writePicture(const std::string& name, bool jpeg) {
        const std::vector<unsigned char> pixels(4 * 4 * 3, 128);
        const std::vector<unsigned char> bytes = encodeImage(jpeg, 4, 4, 3, pixels);
        writeFile("data/" + name, bytes.data(), bytes.size());
    }

    // One frame of a fixture model: a triangle when it has a mesh, placed at its offset.
    struct Part {
        std::string name;
        bool mesh = true;
        std::string texture;
        Vec3 offset{0.0f, 0.0f, 0.0f};
    };

    // Writes data/<file> as a DirectX text model (its reader wants decimal points in reals) whose
    // root frame cancels the importer's axis change, so the loaded root starts with the identity;
    // textures named are written too.
    static void writeModel(const std::string& file, const std::vector<Part>& parts) {
        std::string x = "xof 0303txt 0032\nFrame Root {\n FrameTransformMatrix { "
                        "1.0,0.0,0.0,0.0,0.0,0.0,-1.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,0.0,1.0;; }\n";
        for (const Part& part : parts) {
            char matrix[160];
            std::snprintf(matrix, sizeof matrix,
                          " Frame %s {\n  FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,"
                          "0.0,0.0,1.0,0.0,%f,%f,%f,1.0;; }\n",
                          part.name.c_str(), part.offset.x, part.offset.y, part.offset.z);
            x += matrix;
            if (part.mesh) {
                x += "  Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;\n"
                     "   MeshTextureCoords { 3; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;; }\n"
                     "   MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 5.0; "
                     "1.0;1.0;1.0;; 0.0;0.0;0.0;;";
                if (!part.texture.empty()) {
                    x += " TextureFilename { \"" + part.texture + "\"; }";
                    writePicture(part.texture, false);
                }
                x += " } }\n  }\n";
            }
            x += " }\n";
        }
        x += "}\n";
        writeFile("data/" + file, x.data(), x.size());
    }

    // The intro's five models with every node the scene looks for, and some it does not.
    static void writeModels() {
        writeModel("SkyTeaPot.x", {{"Sky", true, "fx_sky.png"}});
        writeModel("quellan2.x", {{"Text01", true, "fx_logo.png"}});
        writeModel("quelmobile2.x", {{"Body", true, "fx_mobile.png"},
                                     {"Dummy01", false, "", Vec3(0.0f, 0.0f, 2.0f)},
                                     {"object2", true, "", Vec3(1.0f, 0.0f, 0.0f)},
                                     {"object3", true, "", Vec3(-1.0f, 0.0f, 0.0f)}});
        writeModel("town.x", {{"House", true, "fx_town.png"},
                              {"Plane01", true, "fx_plane.png"},
                              {"Plane03", true, "fx_plane.png"},
                              {"Plane05", false, ""}});
        writeModel("valot.x", {{"valo02", true, "fx_glow.png"}});
    }

    static void buildWideFont() {
        wideFont = new velmo::MeshFont("ShadowedBlackWide", 0.1f);
        wideFont->buildGlyphs();
    }

    // The value a parameter of a cached effect holds.
    static float parameter(const char* file, const char* name) {
        ID3DXEffect* effect = velmo::EffectCache::instance()->get(file);
        float value = -99.0f;
        EXPECT_NE(effect, nullptr) << file;
        if (effect != nullptr) {
            EXPECT_EQ(effect->GetFloat(name, &value), D3D_OK) << name;
        }
        return value;
    }

    ScratchDir scratch;
    std::filesystem::path original;
    MessageBoxRecorder boxes;
    std::vector<float> row = spectrumRow(0.0f, 0.0f);
};

TEST_F(IntroScene, TicksAndFramesBeforeTheBuildDoNothing) {
    updateIntroScene(0.05f, 1.0f);
    renderIntroScene(1.0f);
    EXPECT_EQ(introScene, nullptr);
    EXPECT_TRUE(velmo::FileCache::instance()->entries.empty());
}

TEST_F(IntroScene, CameraFollowsItsPathsAndRestsFrom32Seconds) {
    buildIntroScene();
    updateIntroScene(0.05f, 0.0f);
    expectVecNear(introCamera->position, introEyeAt(Vec3(8.055f, 96.5f, 73.0f)), 1e-4f);
    expectVecNear(introCamera->target, Vec3(2.4f, 130.0f, 0.0f), 1e-4f);
    expectVecNear(introCamera->up, Vec3(0.0f, 1.0f, 0.0f));

    updateIntroScene(0.05f, 16.0f);
    const Vec3 midEye = introEyeAt(introEyePath->evaluate(0.5f));
    expectVecNear(introCamera->position, midEye, 1e-4f);

    for (float t : {32.0f, 40.0f, 51.95f}) {
        SCOPED_TRACE(testing::Message() << "t = " << t);
        updateIntroScene(0.05f, t);
        expectVecNear(introCamera->position, introEyeAt(Vec3(8.45f, 96.5f, 6.5f)), 1e-4f);
        expectVecNear(introCamera->target, introTargetAt(33.5f, t), 1e-4f);
    }
    freeIntroScene();
    EXPECT_EQ(introEyePath, nullptr);
    EXPECT_EQ(introTargetPath, nullptr);
}

TEST_F(IntroScene, TwistFollowsTimeAndBassOnTheSharedEffect) {
    buildIntroScene();
    const struct { float t, s0; } ticks[] = {{10.0f, 0.0f}, {10.0f, 0.5f}, {47.95f, 1.0f}};
    for (const auto& tick : ticks) {
        SCOPED_TRACE(testing::Message() << "t = " << tick.t << ", s0 " << tick.s0);
        row[0] = tick.s0;
        updateIntroScene(0.05f, tick.t);
        EXPECT_NEAR(parameter("SolidObject.fxo", "disM"), introTwistAt(tick.t) + tick.s0 * tick.s0,
                    1e-6f);
        float axis[3] = {};
        ID3DXEffect* effect = velmo::EffectCache::instance()->get("SolidObject.fxo");
        ASSERT_EQ(effect->GetFloatArray("axis", axis, 3), D3D_OK);
        EXPECT_NEAR(axis[0], std::cos(0.79f * tick.t), 1e-6f);
        EXPECT_NEAR(axis[1], std::sin(tick.t), 1e-6f);
        EXPECT_EQ(axis[2], 0.5f);
    }
}

TEST_F(IntroScene, FrameRunsItsStagesAndGivesTheirTargetsBack) {
    buildIntroScene();
    updateIntroScene(0.05f, 5.0f);
    renderIntroScene(5.0f);
    EXPECT_NEAR(parameter("data/HSVEffect.fxo", "value"), 0.45f, 1e-6f);
    const size_t pooled = velmo::Device::instance()->state->freeRenderTargets.size();

    // In place: the scene reads the row through a pointer to this vector's storage.
    std::fill(row.begin(), row.end(), 0.0f);
    updateIntroScene(0.05f, 49.0f);
    renderIntroScene(49.0f);
    EXPECT_NEAR(parameter("data/HSVEffect.fxo", "value"), 0.9f, 1e-6f);
    // The second distortion is the last to set its factor.
    EXPECT_NEAR(parameter("MappedDistortion.fxo", "factor"), 0.002f, 1e-6f);
    EXPECT_EQ(velmo::Device::instance()->state->freeRenderTargets.size(), pooled);
}

TEST_F(IntroScene, MissingModelFilesLeaveAPlayableScene) {
    buildIntroScene();
    EXPECT_EQ(skyModel, nullptr);
    EXPECT_EQ(logoModel, nullptr);
    EXPECT_EQ(mobileModel, nullptr);
    EXPECT_EQ(townModel, nullptr);
    EXPECT_EQ(lampsModel, nullptr);
    ASSERT_NE(introParticles, nullptr);
    for (float t : {0.0f, 0.05f, 0.1f}) {
        updateIntroScene(0.05f, t);
        renderIntroScene(t);
    }
    // No emitter, no smoke; the two lights and the smoke system are still in the scene.
    EXPECT_EQ(introParticles->count, 0);
    EXPECT_EQ(introScene->root->lights.size(), 2u);
}

velmo::MeshInstance* instanceIn(velmo::INode* model, const char* name) {
    return model != nullptr ? dynamic_cast<velmo::MeshInstance*>(model->findByName(name)) : nullptr;
}

TEST_F(IntroScene, BuildReadsItsFilesInOrderThroughTheFileCache) {
    writeModels();
    buildIntroScene();
    std::vector<std::string> names;
    for (const velmo::FileCacheEntry& entry : velmo::FileCache::instance()->entries) {
        names.push_back(entry.name);
    }
    // The twist shader takes the solid-object effect between the logo and the mobile; a
    // texture that two models name is read once.
    const std::vector<std::string> expected = {"fx_sky.png",    "fx_logo.png",  "SolidObject.fxo",
                                               "fx_mobile.png", "fx_town.png",  "fx_plane.png",
                                               "fx_glow.png",   "data/smog.jpg"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(IntroScene, BuildStylesTheNamedNodesAndPlacesTheLightsAboveTheLogo) {
    writeModels();
    buildIntroScene();
    ASSERT_NE(skyModel, nullptr);
    ASSERT_NE(logoModel, nullptr);

    const velmo::MeshInstance* sky = instanceIn(skyModel, "Sky");
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->material.getTechnique(), "skybox");
    EXPECT_EQ(sky->material.ambient, D3DXVECTOR4(0.25f, 0.25f, 0.25f, 0.25f));
    EXPECT_EQ(sky->material.diffuse, D3DXVECTOR4(10, 10, 10, 10));

    const velmo::MeshInstance* text = instanceIn(logoModel, "Text01");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->material.getTechnique(), "TwirlObject");
    EXPECT_EQ(text->material.diffuse, D3DXVECTOR4(20, 20, 20, 20));
    EXPECT_EQ(text->material.specular, D3DXVECTOR4(10, 10, 10, 10));
    EXPECT_EQ(text->material.specularPower, 8.0f);

    const struct {
        velmo::INode* model;
        const char* name;
        const char* technique;
        float ambient, colour;
    } styled[] = {{townModel, "Plane01", "AlphaObject", 1, 1},
                  {townModel, "Plane03", "AlphaObject", 1, 1},
                  {lampsModel, "valo02", "AdditiveObject", 1, 0}};
    for (const auto& s : styled) {
        SCOPED_TRACE(s.name);
        const velmo::MeshInstance* node = instanceIn(s.model, s.name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->material.getTechnique(), s.technique);
        EXPECT_EQ(node->material.ambient, D3DXVECTOR4(s.ambient, s.ambient, s.ambient, s.ambient));
        EXPECT_EQ(node->material.diffuse, D3DXVECTOR4(s.colour, s.colour, s.colour, s.colour));
        EXPECT_EQ(node->material.specular, D3DXVECTOR4(s.colour, s.colour, s.colour, s.colour));
    }
    // The town's own parts keep their material; the lamps sit where the town does.
    EXPECT_EQ(instanceIn(townModel, "House")->material.getTechnique(), "");
    expectMatrixNear(lampsModel->transform, townModel->transform);

    // The logo's origin is (30, 90, 30): its transform as loaded is the identity.
    const std::vector<velmo::NodePointlight*>& lights = introScene->root->lights;
    ASSERT_EQ(lights.size(), 2u);
    expectVecNear(velmo::getTranslation(lights[0]->transform), Vec3(70, 120, 40), 1e-4f);
    expectVecNear(velmo::getTranslation(lights[1]->transform), Vec3(-10, 120, 40), 1e-4f);
    EXPECT_EQ(lights[0]->intensity, 7.0f);
    EXPECT_EQ(lights[0]->power, 1.0f);
    EXPECT_EQ(introScene->velocityScale, 0.3f);
    EXPECT_NE(introScene->root->blurMapTarget, nullptr);
}

TEST_F(IntroScene, OnlyTheFirstTickOfAFrameMovesTheMobile) {
    writeModels();
    buildWideFont();
    buildIntroScene();
    ASSERT_NE(mobileModel, nullptr);
    ASSERT_NE(yearText, nullptr);
    const velmo::Matrix built = mobileModel->transform;

    // The very first tick measures no time.
    updateIntroScene(0.05f, 2.0f);
    expectMatrixNear(mobileModel->transform, built);
    // A frame at 2.75 s runs three ticks: the first moves by 0.75, the others by nothing.
    const velmo::Matrix moved =
        velmo::multiplyMatrix(velmo::makeTranslation(0.0f, 0.0f, -0.75f), built);
    for (int tick = 0; tick < 3; ++tick) {
        SCOPED_TRACE(tick);
        updateIntroScene(0.05f, 2.75f);
        expectMatrixNear(mobileModel->transform, moved, 1e-4f);
        expectMatrixNear(yearText->transform,
                         velmo::multiplyMatrix(scalingMatrix(100.0f), mobileModel->transform),
                         1e-2f);
    }
}

TEST_F(IntroScene, TicksSpinTheMobilesPartsAndRecolourTheLogo) {
    writeModels();
    buildIntroScene();
    velmo::INode* part = mobileModel->findByName("object2");
    const velmo::Matrix start = part->transform;
    updateIntroScene(0.05f, 3.0f);
    updateIntroScene(0.05f, 3.05f);
    expectMatrixNear(part->transform, velmo::multiplyMatrix(velmo::rotationX(0.1f), start), 1e-5f);

    const velmo::Material& m = instanceIn(logoModel, "Text01")->material;
    EXPECT_NEAR(m.ambient.x, std::cos(0.79f * 3.05f), 1e-6f);
    EXPECT_NEAR(m.ambient.y, std::sin(3.05f), 1e-6f);
    EXPECT_EQ(m.ambient.z, 0.5f);
    EXPECT_EQ(m.diffuse, D3DXVECTOR4(0.75f, 0.75f, 0.75f, 0.75f));
    EXPECT_EQ(m.specular, D3DXVECTOR4(0.75f, 0.75f, 0.75f, 0.75f));
    EXPECT_EQ(m.specularPower, 10.0f);
    EXPECT_EQ(m.bumpiness, 2.0f);
}

TEST_F(IntroScene, SmokeLeavesTheMobilesTailUntilTheSystemIsFull) {
    writeModels();
    buildIntroScene();
    // The emitter sits 2 along the mobile's own z.
    const Vec3 tail = velmo::transformPoint(Vec3(0.0f, 0.0f, 2.0f), mobileModel->transform);
    updateIntroScene(0.05f, 0.0f);
    ASSERT_EQ(introParticles->count, 5);
    for (const velmo::TextureParticle* puff : introParticles->slots) {
        // Placed within 2.5 of the tail, then drifted by the tick's update.
        EXPECT_NEAR(puff->x, tail.x, 2.8f);
        EXPECT_NEAR(puff->y, tail.y, 2.8f);
        EXPECT_NEAR(puff->z, tail.z, 3.1f);
    }

    while (introParticles->count < introParticles->capacity) {
        introParticles->allocParticle(new velmo::TextureParticle);
    }
    // A full system refuses the five new puffs; none of them is kept (a leak check run sees
    // that they are freed).
    updateIntroScene(0.05f, 0.05f);
    EXPECT_EQ(introParticles->count, 4000);
    EXPECT_EQ(introParticles->slots.size(), 4000u);
}

TEST_F(IntroScene, ModelsWithoutTheNamedNodesAreSkipped) {
    // A sky whose first node has no mesh, a logo without "Text01", a mobile without its
    // emitter and parts, a plane of the series that carries no mesh.
    writeModel("SkyTeaPot.x", {{"Empty", false, ""}, {"Sky", true, ""}});
    writeModel("quellan2.x", {{"Logo", true, ""}});
    writeModel("quelmobile2.x", {{"Body", true, ""}});
    writeModel("town.x", {{"Plane01", false, ""}, {"Plane02", true, ""}});
    writeModel("valot.x", {{"Lamp", true, ""}});
    buildWideFont();
    buildIntroScene();
    ASSERT_NE(skyModel, nullptr);
    EXPECT_EQ(instanceIn(skyModel, "Sky")->material.getTechnique(), "");
    EXPECT_EQ(instanceIn(logoModel, "Logo")->material.getTechnique(), "");
    EXPECT_EQ(instanceIn(townModel, "Plane02")->material.getTechnique(), "AlphaObject");

    for (float t : {0.0f, 1.0f, 2.0f}) {
        updateIntroScene(0.05f, t);
        renderIntroScene(t);
    }
    EXPECT_EQ(introParticles->count, 0);
    // The year still follows the mobile.
    expectMatrixNear(yearText->transform,
                     velmo::multiplyMatrix(scalingMatrix(100.0f), mobileModel->transform), 1e-2f);
}

TEST_F(IntroScene, NodesAreFoundOnceWhenTheSceneIsBuilt) {
    writeModels();
    buildIntroScene();
    velmo::MeshInstance* text = instanceIn(logoModel, "Text01");
    // Renamed after the build, the logo's text is still the node the ticks recolour.
    text->setName("Renamed");
    updateIntroScene(0.05f, 1.0f);
    EXPECT_EQ(text->material.diffuse, D3DXVECTOR4(0.75f, 0.75f, 0.75f, 0.75f));
}

} // namespace
