// The intro: the numbers it derives from the time and the spectrum (fade, twist, distortions,
// camera, smoke puffs), and the built scene driven by ticks and frames: the camera on its
// paths, the twist on the shared effect, the stages of the picture, and a scene whose model
// files are missing.
#include <cmath>
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
#include "engine/math/spline.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/particle_system.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

using velmo::Vec3;

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

    static bool isIntroModel(const std::string& name) {
        for (const char* model :
             {"SkyTeaPot.x", "quellan2.x", "quelmobile2.x", "town.x", "valot.x"}) {
            if (name == model) {
                return true;
            }
        }
        return false;
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

    row = spectrumRow(0.0f, 0.0f);
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

} // namespace
