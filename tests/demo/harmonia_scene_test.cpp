#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "demo/harmonia_scene.h"
#include "demo/particles.h"
#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "demo/timeline.h"
#include "engine/math/matrix.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/message_boxes.h"
#include "support/node_trees.h"

namespace {

using velmo::Vec3;

// A spectrum row whose weighted bass energy is exactly `energy` (all of it in bin 24, weight 1).
struct Row {
    explicit Row(float energy) { values[24] = energy; }
    float values[64] = {};
};

// Every node reachable from node, each visit once per path.
void walk(velmo::INode* node, const std::function<void(velmo::INode*)>& visit) {
    visit(node);
    for (velmo::INode* child : node->children)
        if (child)
            walk(child, visit);
}

bool hasNullChild(velmo::INode* node) {
    bool found = false;
    walk(node, [&](velmo::INode* n) {
        for (velmo::INode* child : n->children)
            found = found || child == nullptr;
    });
    return found;
}

TEST(HarmoniaLine, IndexStaysWithinTheFourLines) {
    const struct {
        float progress;
        int line;
    } cases[] = {{-0.5f, 0}, {0.0f, 0}, {0.99f, 0}, {1.0f, 1}, {2.62f, 2}, {3.5f, 3}, {9.0f, 3}};
    for (const auto& c : cases)
        EXPECT_EQ(harmoniaLineIndex(c.progress), c.line) << c.progress;
}

TEST(HarmoniaLens, AspectIsWholeNumbersAndSafeWithoutHeight) {
    const struct {
        DWORD width, height;
        float aspect;
    } cases[] = {{640, 360, 1.0f}, {1280, 480, 2.0f}, {640, 0, 1.0f}, {0, 0, 1.0f}};
    for (const auto& c : cases) {
        D3DVIEWPORT9 viewport{0, 0, c.width, c.height, 0.0f, 1.0f};
        EXPECT_EQ(harmoniaLensAspect(viewport), c.aspect) << c.width << "x" << c.height;
    }
}

TEST(HarmoniaLens, StringsFollowTheBallOnlyAboveTwoAndAHalf) {
    D3DXMATRIX inverse = velmo::invertMatrix(velmo::perspectiveFovLH(1.3f, 1.0f, 1.0f, 200.0f));
    for (float q : {2.6f, 4.0f})
        expectMatrixNear(harmoniaStringsTransform(q, 1.0f, inverse),
                         harmoniaBallTransform(q, 1.0f, inverse), 0.0f);
    // At 2.5 exactly the strings take the fixed lens, with the lift before the scale.
    const D3DXMATRIX fixed = velmo::multiplyMatrix(
        velmo::multiplyMatrix(velmo::multiplyMatrix(velmo::makeTranslation(0, -12.5f, 0),
                                                    [] {
                                                        D3DXMATRIX s = velmo::identityMatrix();
                                                        s._11 = s._22 = s._33 = 14.0f;
                                                        return s;
                                                    }()),
                              velmo::perspectiveFovLH(2.5f, 1.0f, 0.0f, 100.0f)),
        inverse);
    expectMatrixNear(harmoniaStringsTransform(2.5f, 1.0f, inverse), fixed, 1e-3f);
}

TEST(HarmoniaLayoutBuild, MakesTheArrangementFromTheFixedSeed) {
    // The models end up in both arrangements; one holder frees both trees, each node once.
    auto* pipe = new velmo::DummyNode;
    auto* block = new velmo::DummyNode;
    loloModel = new velmo::DummyNode;
    piippuModel = pipe;
    blockModel = block;
    harmoniaParticles = new Ef2::SPSystem(10, nullptr);
    demoSrand(1);
    HarmoniaLayout layout;
    buildHarmoniaLayout(layout);
    const OwnedTree both(new velmo::DummyNode);
    both->addChild(layout.root);

    EXPECT_EQ(layout.lolos.size(), 20u);
    EXPECT_EQ(layout.pipes.size(), 16u);
    EXPECT_EQ(layout.chainHeads.size(), 6u);
    EXPECT_EQ(layout.chainNodes.size(), 78u);
    EXPECT_EQ(layout.root->children.size(), 42u);
    // The build takes 202 draws after seeding with 8383.
    demoSrand(8383);
    for (int i = 0; i < 202; ++i)
        demoRand();
    const int expectedNext = demoRand();
    demoSrand(8383);
    HarmoniaLayout again;
    buildHarmoniaLayout(again);
    both->addChild(again.root);
    EXPECT_EQ(demoRand(), expectedNext);

    int blocks = 0;
    walk(layout.root, [&](velmo::INode* n) { blocks += n == block; });
    EXPECT_EQ(blocks, 72);
    // Every pipe carries the model and then a spawner at its mouth, feeding the one system.
    for (velmo::INode* node : layout.pipes) {
        ASSERT_EQ(node->children.size(), 2u);
        EXPECT_EQ(node->children.front(), pipe);
        auto* spawner = dynamic_cast<SavuParticleSpawner*>(node->children.back());
        ASSERT_NE(spawner, nullptr);
        EXPECT_EQ(spawner->target, harmoniaParticles);
        expectVecNear(velmo::getTranslation(spawner->transform), Vec3(0, 3.4f, 0));
    }
}

TEST(HarmoniaLayoutBuild, MissingModelsLeaveNoNullChildAndChainsStillSwing) {
    loloModel = piippuModel = blockModel = nullptr;
    HarmoniaLayout layout;
    buildHarmoniaLayout(layout);
    const OwnedTree tree(layout.root);
    EXPECT_FALSE(hasNullChild(layout.root));
    // The swing still reaches the last end of every chain.
    harmoniaPulse = 1.0f;
    for (velmo::INode* head : layout.chainHeads)
        swingChain(0, head, 3.0f, 0.25f);
    velmo::INode* last = layout.chainNodes[12];
    EXPECT_NE(last->transform, velmo::identityMatrix());
}

// Records the time step that the scene's update walk hands it.
struct StepProbe : velmo::DummyNode {
    void update(const D3DXMATRIX*, float dt) override { step = dt; }
    float step = -1.0f;
};

class HarmoniaRender : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        currentSpectrumRow = quiet.values;
        // The text scene of the shared assets, with plain named nodes for the four lines.
        harmoniaScene = new velmo::Scene;
        harmoniaCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
        harmoniaScene->root->camera = harmoniaCamera;
        harmoniaLight = new velmo::NodePointlight(20, 0, -15, 15, 2, 100, 1, 1, 1, 1);
        harmoniaScene->root->addChild(harmoniaLight);
        buildHarmoniaScene();
        const char* lines[4] = {"exhibitions of art and machines", "workshops and presentations",
                                "parties and competitions", "special guests and events"};
        for (int i = 0; i < 4; ++i) {
            harmoniaTextNodes[i] = new velmo::DummyNode;
            harmoniaTextNodes[i]->setName(lines[i]);
        }
    }

    std::vector<D3DXMATRIX> arrangement() const {
        std::vector<D3DXMATRIX> out;
        for (auto* list :
             {&harmoniaLayout.lolos, &harmoniaLayout.pipes, &harmoniaLayout.chainNodes})
            for (velmo::INode* n : *list)
                out.push_back(n->transform);
        return out;
    }

    void frame(float t) {
        demoTime = t;
        renderHarmoniaScene();
    }

    Row quiet{0.0f};
};

TEST_F(HarmoniaRender, BuildsWithoutModelsAndRegistersNoNullNode) {
    MessageBoxRecorder boxes;
    EXPECT_FALSE(hasNullChild(harmoniaMainScene->root));
    EXPECT_EQ(harmoniaMainScene->root->lights.size(), 2u);
}

TEST_F(HarmoniaRender, TheSameTimeAndPulseGiveTheSameArrangement) {
    harmoniaPulse = 0.7f;
    frame(140.0f);
    const auto first = arrangement();
    frame(140.5f);
    EXPECT_NE(arrangement()[0], first[0]);
    frame(140.0f);
    const auto again = arrangement();
    ASSERT_EQ(again.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(again[i], first[i]) << i;
}

TEST_F(HarmoniaRender, LoudBassTogglesTheCameraDistanceEveryFrame) {
    // At t = 133 the orbit angle u = 26.6 and R = 3 sin(0.4 u) + 8 = 5.187660; the eye is
    // f R (sin u, 1.5 sin u, cos u), twice as far out while the camera is not close.
    const Vec3 far(10.319758f, 15.479636f, 1.072317f);
    const Vec3 close(5.159879f, 7.739818f, 0.536158f);
    const struct {
        float energy;
        int close;
    } frames[] = {{20.0f, 0}, {20.5f, 1}, {21.0f, 0}, {0.0f, 0}, {25.0f, 1}, {5.0f, 1}};
    for (const auto& f : frames) {
        Row row(f.energy);
        currentSpectrumRow = row.values;
        frame(133.0f);
        EXPECT_EQ(harmoniaCameraClose, f.close) << "W = " << f.energy;
        expectVecNear(harmoniaMainCamera->position, f.close ? close : far, 1e-3f);
    }
}

TEST_F(HarmoniaRender, ProgressPicksTheLineAndSlidesTheTextCamera) {
    const struct {
        float progress;
        int line;
        float cameraX;
    } cases[] = {{0.0f, 0, -10.0f}, {0.5f, 0, 25.0f}, {1.0f, 1, -10.0f}, {2.5f, 2, 25.0f}};
    for (const auto& c : cases) {
        harmoniaProgress = c.progress;
        frame(133.0f + c.progress);
        int shown = 0;
        for (int i = 0; i < 4; ++i) {
            const bool there = harmoniaScene->findNode(harmoniaTextNodes[i]->name) != nullptr;
            EXPECT_EQ(there, i == c.line) << c.progress << " line " << i;
            shown += there;
        }
        EXPECT_EQ(shown, 1);
        EXPECT_NEAR(harmoniaCamera->position.x, c.cameraX, 1e-4f);
    }
}

TEST_F(HarmoniaRender, LoudTicksAddHalfToThePulseAndEveryTickDecaysIt) {
    const struct {
        float before;
        float energy;
        float after;
    } cases[] = {
        {0.5f, 30.0f, 1.0f / 1.2f},  // loud: 0.5 + 0.5, then / 1.2
        {0.5f, 29.999f, 0.5f},       // just below: quiet, 0.5 stays
        {0.55f, 0.0f, 0.55f / 1.2f}, // quiet above 0.5: divided, below 0.5 for a tick
        {0.55f / 1.2f, 0.0f, 0.5f},  // and back to 0.5 on the next
        {2.5f, 100.0f, 2.5f},        // the fixed point of loud ticks
    };
    for (const auto& c : cases) {
        Row row(c.energy);
        currentSpectrumRow = row.values;
        harmoniaPulse = c.before;
        updateHarmoniaScene(130.0f);
        EXPECT_NEAR(harmoniaPulse, c.after, 1e-6f) << c.before << " with E = " << c.energy;
    }
}

TEST_F(HarmoniaRender, TimeStepIsZeroOnTheFirstTickAndOnLaterTicksOfAFrame) {
    StepProbe probe;
    harmoniaMainScene->root->addChild(&probe);
    const struct {
        float t;
        float step;
    } ticks[] = {{128.5f, 0.0f}, {128.5f, 0.0f}, {128.6f, 0.1f}, {128.6f, 0.0f}, {128.65f, 0.05f}};
    for (const auto& tick : ticks) {
        updateHarmoniaScene(tick.t);
        EXPECT_NEAR(probe.step, tick.step, 1e-4f) << tick.t;
    }
}

} // namespace
