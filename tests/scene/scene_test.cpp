// Scenes and their root: the walks over the graph (update and render child-first with the
// parent's world, transforms and lights parent-first), the motion-vector matrices kept per
// node path and recomputed only when the time moved by more than 0.01, the further targets
// cleared on every render, and a scene's picture drawn into its own target.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/math/matrix.h"
#include "engine/render/shader.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/render_target.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"

namespace {

using velmo::INode;
using velmo::Matrix;
using velmo::SceneRoot;

// What a node was handed by a walk.
struct Visit {
    std::string node;
    Matrix parentWorld;
    uint32_t pathHash = 0; // the root's currentPathHash while the node drew
    float t = 0.0f;
};

// A renderable node that records its updates and draws; with a colour it fills the whole
// render target through the scene test effect.
class RecordingNode : public velmo::INodeRenderable {
public:
    RecordingNode(std::string nodeName, std::vector<Visit>* updateLog,
                  std::vector<Visit>* renderLog)
        : updates(updateLog), renders(renderLog) {
        setName(std::move(nodeName));
    }

    void update(const D3DXMATRIX* parentWorld, float t) override {
        updates->push_back({name, *parentWorld, 0, t});
    }

    void render(const D3DXMATRIX* parentWorld) override {
        velmo::Scene* scene = velmo::MatrixStack::instance()->scene;
        renders->push_back({name, *parentWorld, scene->root->currentPathHash, scene->root->time});
        if (fillColor.w > 0.0f) {
            fill();
        }
    }

    float* getBounds() override { return bounds; }

    D3DXVECTOR4 fillColor{0.0f, 0.0f, 0.0f, 0.0f};

private:
    void fill() {
        struct Corner {
            float x, y, z;
        };
        static const Corner kQuad[] = {{-1, -1, 0.5f}, {-1, 1, 0.5f}, {1, -1, 0.5f},
                                       {1, -1, 0.5f},  {-1, 1, 0.5f}, {1, 1, 0.5f}};
        IDirect3DDevice9* device = velmo::Device::instance()->state->device;
        velmo::TShader shader("SceneTestEffect.fxo", "Fill");
        shader.setVector("color", fillColor);
        ASSERT_NE(shader.effect, nullptr);
        EXPECT_EQ(shader.begin(), 1u);
        EXPECT_EQ(shader.effect->BeginPass(0), D3D_OK);
        device->SetFVF(D3DFVF_XYZ);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kQuad, sizeof(Corner)), D3D_OK);
        EXPECT_EQ(shader.effect->EndPass(), D3D_OK);
    }

    std::vector<Visit>* updates;
    std::vector<Visit>* renders;
    float bounds[6] = {};
};

class SceneTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scene = new velmo::Scene;
    }
    void TearDown() override {
        // The program's shutdown order: the scene, then the effect cache, then the device.
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    RecordingNode* node(const std::string& name) {
        nodes.push_back(std::make_unique<RecordingNode>(name, &updates, &renders));
        return nodes.back().get();
    }

    std::vector<std::string> names(const std::vector<Visit>& visits) {
        std::vector<std::string> out;
        for (const Visit& v : visits) {
            out.push_back(v.node);
        }
        return out;
    }

    const Visit& find(const std::vector<Visit>& visits, const std::string& name) {
        for (const Visit& v : visits) {
            if (v.node == name) {
                return v;
            }
        }
        ADD_FAILURE() << name << " not visited";
        static const Visit none;
        return none;
    }

    // A pixel of a target read back.
    DWORD pixel(velmo::RenderTarget* target, UINT x, UINT y) {
        IDirect3DSurface9* surface = nullptr;
        target->getTexture()->GetSurfaceLevel(0, &surface);
        const std::vector<unsigned char> pixels = readBack(surface);
        surface->Release();
        return argbAt(pixels, target->getWidth(), x, y);
    }
    float value(velmo::RenderTarget* target, UINT x, UINT y) {
        IDirect3DSurface9* surface = nullptr;
        target->getTexture()->GetSurfaceLevel(0, &surface);
        const std::vector<unsigned char> pixels = readBack(surface);
        surface->Release();
        return floatAt(pixels, target->getWidth(), x, y);
    }
    void fill(velmo::RenderTarget* target, D3DCOLOR color) {
        target->begin(0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
        target->end();
    }

    velmo::Scene* scene = nullptr;
    velmo::PerspectiveCamera camera{0.8f, 0.5f, 200.0f};
    std::vector<std::unique_ptr<RecordingNode>> nodes;
    std::vector<Visit> updates, renders;
};

// Transforms that do not commute, so that a wrong order of products shows.
Matrix turnAndMove(float angle, float x, float y, float z) {
    return velmo::multiplyMatrix(velmo::rotationZ(angle), velmo::makeTranslation(x, y, z));
}

TEST(PathHash, FollowsTheFormulaInWrappingArithmetic) {
    struct Case {
        uint32_t identity, parent, hash;
    };
    const Case cases[] = {
        {0, 0, 10000u},
        {3, 0, 10009u},
        {5, 10009, 656008276u},           // every term counts
        {70000, 0, 605042704u},           // n * n wraps
        {70000, 0xdeadbeefu, 778010925u}, // n * p and p << 16 wrap
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SceneRoot::pathHash(c.identity, c.parent), c.hash)
            << c.identity << " under " << c.parent;
    }
}

TEST_F(SceneTest, UpdateAndRenderWalksHandleChildrenFirstWithTheParentsWorld) {
    // root - a - b - c, and root - d.
    RecordingNode *a = node("a"), *b = node("b"), *c = node("c"), *d = node("d");
    a->transform = turnAndMove(0.5f, 1, 0, 0);
    b->transform = turnAndMove(-1.0f, 0, 2, 0);
    c->transform = turnAndMove(0.25f, 0, 0, 3);
    d->transform = velmo::makeTranslation(4, 5, 6);
    scene->root->addChild(a);
    a->addChild(b);
    b->addChild(c);
    scene->root->addChild(d);
    scene->root->camera = &camera;

    scene->update(2.5f);
    EXPECT_EQ(velmo::currentScene, scene);
    EXPECT_EQ(names(updates), (std::vector<std::string>{"c", "b", "a", "d"}));
    const Matrix ab = velmo::multiplyMatrix(b->transform, a->transform);
    expectMatrixNear(find(updates, "a").parentWorld, velmo::identityMatrix());
    expectMatrixNear(find(updates, "b").parentWorld, a->transform);
    expectMatrixNear(find(updates, "c").parentWorld, ab);
    expectMatrixNear(find(updates, "d").parentWorld, velmo::identityMatrix());
    EXPECT_EQ(find(updates, "c").t, 2.5f);

    scene->render(1.0f);
    EXPECT_EQ(names(renders), (std::vector<std::string>{"c", "b", "a", "d"}));
    expectMatrixNear(find(renders, "c").parentWorld, ab);
    expectMatrixNear(find(renders, "b").parentWorld, a->transform);
    EXPECT_EQ(find(renders, "c").t, 1.0f);

    // While a node draws, the root names its path.
    const uint32_t hRoot = SceneRoot::pathHash(scene->root, 0);
    const uint32_t hA = SceneRoot::pathHash(a, hRoot);
    const uint32_t hB = SceneRoot::pathHash(b, hA);
    EXPECT_EQ(find(renders, "a").pathHash, hA);
    EXPECT_EQ(find(renders, "b").pathHash, hB);
    EXPECT_EQ(find(renders, "c").pathHash, SceneRoot::pathHash(c, hB));
    EXPECT_EQ(find(renders, "d").pathHash, SceneRoot::pathHash(d, hRoot));
    EXPECT_EQ(scene->findNode("c"), c);
}

TEST_F(SceneTest, EveryPathKeepsItsCurrentAndPreviousWorldViewProjection) {
    // s hangs under a and under d: two paths, two pairs of matrices.
    RecordingNode *a = node("a"), *d = node("d"), *s = node("s");
    a->transform = turnAndMove(0.5f, 1, 0, 0);
    d->transform = velmo::makeTranslation(0, -3, 2);
    s->transform = turnAndMove(1.5f, 0, 1, 0);
    scene->root->addChild(a);
    scene->root->addChild(d);
    a->addChild(s);
    d->addChild(s);
    camera.position = velmo::Vec3(1, 2, -10);
    scene->root->camera = &camera;

    SceneRoot* root = scene->root;
    const uint32_t hRoot = SceneRoot::pathHash(root, 0);
    const uint32_t viaA = SceneRoot::pathHash(s, SceneRoot::pathHash(a, hRoot));
    const uint32_t viaD = SceneRoot::pathHash(s, SceneRoot::pathHash(d, hRoot));
    ASSERT_NE(viaA, viaD);
    const auto wvp = [&](const Matrix& parentWorld) {
        return velmo::multiplyMatrix(velmo::multiplyMatrix(s->transform, parentWorld),
                                     camera.getViewProjection());
    };

    scene->render(0.0f);
    EXPECT_EQ(renders.size(), 4u); // s twice
    const Matrix firstA = wvp(a->transform), firstD = wvp(d->transform);
    expectMatrixNear(root->pathMatrices.at(viaA).current, firstA, 1e-5f);
    expectMatrixNear(root->pathMatrices.at(viaD).current, firstD, 1e-5f);
    // A path seen for the first time moves from the identity.
    expectMatrixNear(root->pathMatrices.at(viaA).previous, velmo::identityMatrix());
    expectMatrixNear(root->pathMatrices.at(viaD).previous, velmo::identityMatrix());
    EXPECT_EQ(root->timeStep, 0.0f);

    camera.position = velmo::Vec3(-2, 0, -8);
    scene->render(0.5f);
    expectMatrixNear(root->pathMatrices.at(viaA).previous, firstA, 1e-5f);
    expectMatrixNear(root->pathMatrices.at(viaA).current, wvp(a->transform), 1e-5f);
    expectMatrixNear(root->pathMatrices.at(viaD).previous, firstD, 1e-5f);
    expectMatrixNear(root->pathMatrices.at(viaD).current, wvp(d->transform), 1e-5f);
    EXPECT_EQ(root->timeStep, 0.5f);
    EXPECT_EQ(scene->timeStep(), 0.5f);

    // Asking for a path never seen creates it as the identity.
    const uint32_t unseen = SceneRoot::pathHash(12345u, 0);
    EXPECT_EQ(root->pathMatrices.count(unseen), 0u);
    expectMatrixNear(root->previousMatrix(unseen), velmo::identityMatrix());
    expectMatrixNear(root->currentMatrix(unseen), velmo::identityMatrix());
    EXPECT_EQ(root->pathMatrices.count(unseen), 1u);
}

// Constructs throw-away nodes until the process-wide counter reaches id, so that the next node
// constructed takes it.
void skipToId(int32_t id) {
    ASSERT_LE(INode::nextId(), id) << "the counter is past the id the test needs";
    while (INode::nextId() < id) {
        velmo::DummyNode{};
    }
}

// Under the root #100122 the children #100190 and #101014 have one path hash, 171498508. Each
// of the two paths, and each path through the node s that both of them hold, keeps matrices of
// its own, and a draw finds its own under the key the walk names.
TEST_F(SceneTest, PathsThatShareAHashKeepMatricesOfTheirOwn) {
    delete scene;
    skipToId(100122);
    scene = new velmo::Scene;
    SceneRoot* root = scene->root;
    ASSERT_EQ(root->id, 100122);
    skipToId(100190);
    RecordingNode* a = node("a");
    skipToId(101014);
    RecordingNode *b = node("b"), *s = node("s");
    const uint32_t hRoot = SceneRoot::pathHash(root, 0);
    ASSERT_EQ(SceneRoot::pathHash(a, hRoot), 171498508u);
    ASSERT_EQ(SceneRoot::pathHash(b, hRoot), 171498508u);

    a->transform = turnAndMove(0.5f, 1, 0, 0);
    b->transform = velmo::makeTranslation(0, -3, 2);
    s->transform = turnAndMove(1.5f, 0, 1, 0);
    root->addChild(a);
    root->addChild(b);
    a->addChild(s);
    b->addChild(s);
    root->camera = &camera;
    std::vector<Matrix> viewProjections;
    for (float t : {0.0f, 0.5f, 1.0f}) {
        camera.position = velmo::Vec3(t, 2.0f * t, -10.0f - t);
        viewProjections.push_back(camera.getViewProjection());
        renders.clear();
        scene->render(t);
    }

    // The draws of the last frame, children first.
    const Matrix worlds[] = {velmo::multiplyMatrix(s->transform, a->transform), a->transform,
                             velmo::multiplyMatrix(s->transform, b->transform), b->transform};
    ASSERT_EQ(names(renders), (std::vector<std::string>{"s", "a", "s", "b"}));
    for (size_t i = 0; i < renders.size(); ++i) {
        SCOPED_TRACE(i);
        const SceneRoot::PathMatrices& drawn = root->pathMatrices.at(renders[i].pathHash);
        expectMatrixNear(drawn.previous, velmo::multiplyMatrix(worlds[i], viewProjections[1]),
                         1e-5f);
        expectMatrixNear(drawn.current, velmo::multiplyMatrix(worlds[i], viewProjections[2]),
                         1e-5f);
        for (size_t j = 0; j < i; ++j) {
            EXPECT_NE(renders[i].pathHash, renders[j].pathHash) << j;
        }
    }
}

// A hidden child of the root is passed by the render walk and the transform pass; shown again,
// its paths hold what the passes it missed would have left, as if it had never been hidden.
TEST_F(SceneTest, AHiddenChildIsPassedByAndShownWithTheMatricesItMissed) {
    RecordingNode *h = node("h"), *g = node("g"), *early = node("early");
    h->transform = turnAndMove(0.5f, 1, 0, 0);
    g->transform = turnAndMove(1.5f, 0, 1, 0);
    early->transform = velmo::makeTranslation(0, -3, 2);
    h->addChild(g);
    SceneRoot* root = scene->root;
    root->addChild(h);
    root->addChild(early);
    root->camera = &camera;
    const uint32_t hRoot = SceneRoot::pathHash(root, 0);
    const uint32_t hH = SceneRoot::pathHash(h, hRoot), hG = SceneRoot::pathHash(g, hH);
    const uint32_t hEarly = SceneRoot::pathHash(early, hRoot);
    const Matrix gWorld = velmo::multiplyMatrix(g->transform, h->transform);

    // Before any pass there is nothing to catch up.
    root->setChildHidden(early, true);
    root->setChildHidden(early, false);
    EXPECT_TRUE(root->pathMatrices.empty());
    root->setChildHidden(early, true);

    std::vector<Matrix> viewProjections;
    const auto renderAt = [&](float t) {
        camera.position = velmo::Vec3(t, 2.0f * t, -10.0f - t);
        viewProjections.push_back(camera.getViewProjection());
        renders.clear();
        scene->render(t);
    };
    renderAt(0.0f);
    EXPECT_EQ(names(renders), (std::vector<std::string>{"g", "h"}));
    // Shown after one pass: that pass would have reached it for the first time.
    root->setChildHidden(early, false);
    expectMatrixNear(root->pathMatrices.at(hEarly).previous, velmo::identityMatrix());
    expectMatrixNear(root->pathMatrices.at(hEarly).current,
                     velmo::multiplyMatrix(early->transform, viewProjections[0]), 1e-5f);

    root->setChildHidden(h, true);
    renderAt(0.5f);
    renderAt(1.0f);
    EXPECT_EQ(names(renders), (std::vector<std::string>{"early"}));
    // Hidden for two passes, its matrices are still the first pass's.
    expectMatrixNear(root->pathMatrices.at(hG).current,
                     velmo::multiplyMatrix(gWorld, viewProjections[0]), 1e-5f);

    root->setChildHidden(h, false);
    for (const auto& [hash, world] : {std::pair{hH, h->transform}, std::pair{hG, gWorld}}) {
        expectMatrixNear(root->pathMatrices.at(hash).previous,
                         velmo::multiplyMatrix(world, viewProjections[1]), 1e-5f);
        expectMatrixNear(root->pathMatrices.at(hash).current,
                         velmo::multiplyMatrix(world, viewProjections[2]), 1e-5f);
    }
    renderAt(1.5f);
    EXPECT_EQ(names(renders), (std::vector<std::string>{"g", "h", "early"}));
    expectMatrixNear(root->pathMatrices.at(hG).previous,
                     velmo::multiplyMatrix(gWorld, viewProjections[2]), 1e-5f);
    expectMatrixNear(root->pathMatrices.at(hG).current,
                     velmo::multiplyMatrix(gWorld, viewProjections[3]), 1e-5f);
}

TEST_F(SceneTest, TheTransformPassRunsOnlyWhenTheTimeMovedByMoreThanAHundredth) {
    struct Step {
        float t;
        bool passRuns;
        float timeStep; // after the render
    };
    // Differences are taken between the floats as given and compared with 0.01f, strictly.
    const Step steps[] = {
        {0.0f, true, 0.0f},     // the first render: no earlier pass to measure from
        {0.005f, false, 0.0f},  // the picture is drawn, the matrices stay
        {0.01f, false, 0.0f},   // exactly 0.01f away: not more
        {0.02f, true, 0.02f},   // measured from 0.0
        {0.03f, false, 0.02f},  // 0.03f - 0.02f is exactly 0.01f
        {0.035f, true, 0.015f}, // 0.015 away
        {0.0f, true, 0.035f},   // backwards
    };
    RecordingNode* n = node("n");
    scene->root->addChild(n);
    scene->root->camera = &camera;
    SceneRoot* root = scene->root;
    const uint32_t h = SceneRoot::pathHash(n, SceneRoot::pathHash(root, 0));
    float z = -10.0f;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.t);
        // The camera moves every time, so a pass that runs changes the matrices.
        camera.position = velmo::Vec3(0, 0, z -= 1.0f);
        const Matrix before = root->currentMatrix(h);
        const size_t drawn = renders.size();
        scene->render(step.t);
        EXPECT_EQ(renders.size(), drawn + 1) << "every step draws the picture";
        EXPECT_EQ(root->currentMatrix(h) != before, step.passRuns);
        if (step.passRuns) {
            expectMatrixNear(root->previousMatrix(h), before);
            EXPECT_EQ(root->lastTransformTime, step.t);
        }
        EXPECT_NEAR(root->timeStep, step.timeStep, 1e-7f);
        EXPECT_EQ(root->time, step.t);
    }
}

// A scene first drawn late in the run (the block-and-house scene at 52 s) must not hand its
// shaders a time step of the whole run so far (53 s, measured from the start value -1).
TEST_F(SceneTest, TheFirstTransformPassOfALateSceneHasTimeStepZero) {
    scene->root->addChild(node("n"));
    scene->root->camera = &camera;
    scene->render(52.0f);
    EXPECT_EQ(scene->timeStep(), 0.0f);
    scene->render(52.05f);
    EXPECT_NEAR(scene->timeStep(), 0.05f, 1e-5f);
}

TEST_F(SceneTest, WithoutACameraTheSceneDrawsAndTheTransformPassWaits) {
    RecordingNode* n = node("n");
    scene->root->addChild(n);
    scene->render(0.0f);
    EXPECT_EQ(renders.size(), 1u);
    EXPECT_TRUE(scene->root->pathMatrices.empty());
    EXPECT_EQ(scene->root->lastTransformTime, -1.0f);
    // The first render with a camera runs the pass, however little the time moved.
    scene->root->camera = &camera;
    scene->render(0.005f);
    EXPECT_EQ(scene->root->lastTransformTime, 0.005f);
    EXPECT_EQ(scene->root->pathMatrices.size(), 2u); // the root and n
}

TEST_F(SceneTest, LightsAreGatheredParentFirstWithTheirWorldMatrices) {
    // root - g1 - g2 - l1 - l2, and l1 also directly under the root.
    velmo::DummyNode g1, g2;
    velmo::NodePointlight l1(20, 0, -15, 1, 2, 3, 1, 1, 1, 1);
    velmo::NodePointlight l2(0, 1, 0, 1, 2, 3, 1, 0, 0, 1);
    g1.transform = turnAndMove(0.5f, 1, 0, 0);
    g2.transform = turnAndMove(-0.75f, 0, 0, 2);
    scene->root->addChild(&g1);
    g1.addChild(&g2);
    g2.addChild(&l1);
    l1.addChild(&l2);
    scene->root->addChild(&l1);
    scene->root->camera = &camera;

    SceneRoot* root = scene->root;
    root->registerLights(&g1);
    EXPECT_EQ(root->lights, (std::vector<velmo::NodePointlight*>{&l2, &l1})); // children first
    root->registerLights(&l1);
    EXPECT_EQ(root->lights.size(), 4u); // no duplicate check

    for (float t : {0.0f, 0.5f}) { // every render gathers afresh
        scene->render(t);
        ASSERT_EQ(root->frameLights.size(), 4u);
        const Matrix g = velmo::multiplyMatrix(g2.transform, g1.transform);
        const Matrix l1World = velmo::multiplyMatrix(l1.transform, g);
        EXPECT_EQ(root->frameLights[0].first, &l1);
        expectMatrixNear(root->frameLights[0].second, l1World);
        EXPECT_EQ(root->frameLights[1].first, &l2);
        expectMatrixNear(root->frameLights[1].second, velmo::multiplyMatrix(l2.transform, l1World));
        EXPECT_EQ(root->frameLights[2].first, &l1);
        expectMatrixNear(root->frameLights[2].second, l1.transform);
        EXPECT_EQ(root->frameLights[3].first, &l2);
        expectMatrixNear(root->frameLights[3].second,
                         velmo::multiplyMatrix(l2.transform, l1.transform));
    }
}

TEST_F(SceneTest, EveryRenderClearsTheFurtherTargetsToMidGrey) {
    velmo::DeviceState* state = velmo::Device::instance()->state;
    SceneRoot* root = scene->root;
    root->blurMapTarget = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    root->blurMapEnabled = true;
    root->camera = &camera;
    EXPECT_EQ(scene->extraTarget(), root->blurMapTarget);
    EXPECT_EQ(scene->floatTarget()->getFormat(), D3DFMT_R32F);
    EXPECT_EQ(scene->colorTarget()->getFormat(), D3DFMT_A8R8G8B8);

    // The second render skips the transform pass; the targets are cleared all the same.
    for (float t : {0.0f, 0.005f}) {
        SCOPED_TRACE(t);
        fill(scene->extraTarget(), 0xff0000ff);
        fill(scene->colorTarget(), 0xff0000ff);
        fill(scene->floatTarget(), 0xff0000ff);
        scene->render(t);
        EXPECT_EQ(root->lastTransformTime, 0.0f);
        EXPECT_EQ(pixel(scene->extraTarget(), 7, 9), 0xff808080u);
        EXPECT_EQ(pixel(scene->colorTarget(), 7, 9), 0xff808080u);
        EXPECT_NEAR(value(scene->floatTarget(), 7, 9), 128.0f / 255.0f, 1e-6f);
        EXPECT_EQ(pixel(scene->getRenderTarget(), 7, 9), 0x00000000u);
        EXPECT_FALSE(scene->extraTarget()->isActive());
    }
    // A float or colour target that no later stage reads is left as it is.
    root->floatTargetRead = false;
    root->colorTargetRead = false;
    fill(scene->colorTarget(), 0xff0000ff);
    fill(scene->floatTarget(), 0xff0000ff);
    scene->render(0.01f);
    EXPECT_EQ(pixel(scene->extraTarget(), 7, 9), 0xff808080u);
    EXPECT_EQ(pixel(scene->colorTarget(), 7, 9), 0xff0000ffu);
    EXPECT_EQ(value(scene->floatTarget(), 7, 9), 0.0f);
}

TEST_F(SceneTest, ASceneDrawsItsNodesIntoItsOwnTarget) {
    RecordingNode* quad = node("quad");
    quad->fillColor = D3DXVECTOR4(0, 1, 0, 1);
    scene->root->addChild(quad);
    scene->root->camera = &camera;
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);

    scene->render(1.0f);
    scene->render(1.0f); // the same time: drawn once
    EXPECT_EQ(renders.size(), 1u);
    EXPECT_EQ(velmo::currentScene, scene);
    EXPECT_EQ(velmo::MatrixStack::instance()->scene, scene);

    velmo::RenderTarget* target = scene->getRenderTarget();
    ASSERT_NE(target, nullptr);
    const UINT w = target->getWidth(), h = target->getHeight();
    for (auto [x, y] : {std::pair{0u, 0u}, {w / 2, h / 2}, {w - 1, h - 1}}) {
        EXPECT_EQ(pixel(target, x, y), 0xff00ff00u) << x << ", " << y;
    }
    // The further targets keep their grey: the quad went into the scene's own target only.
    EXPECT_EQ(pixel(scene->colorTarget(), w / 2, h / 2), 0xff808080u);

    IDirect3DSurface9* bound = nullptr;
    device->GetRenderTarget(0, &bound);
    EXPECT_EQ(bound, backBuffer);
    bound->Release();
    backBuffer->Release();
}

TEST_F(SceneTest, DestroyingASceneGivesItsTargetsBackAndLeavesItsNodes) {
    velmo::DeviceState* state = velmo::Device::instance()->state;
    RecordingNode* n = node("n");
    velmo::NodePointlight light(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
    scene->root->addChild(n);
    scene->root->addChild(&light);
    scene->root->registerLights(&light);
    scene->root->camera = &camera;
    velmo::RenderTarget* blur = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    scene->root->blurMapTarget = blur;
    scene->render(0.0f);
    velmo::RenderTarget* own = scene->getRenderTarget();
    velmo::RenderTarget* floatTarget = scene->floatTarget();
    velmo::RenderTarget* colorTarget = scene->colorTarget();
    ASSERT_TRUE(state->freeRenderTargets.empty());

    delete scene;
    scene = nullptr;
    EXPECT_EQ(state->freeRenderTargets,
              (std::list<velmo::RenderTarget*>{blur, floatTarget, colorTarget, own}));
    EXPECT_EQ(velmo::currentScene, nullptr);
    EXPECT_EQ(velmo::MatrixStack::instance()->scene, nullptr);
    // The nodes live on, unharmed.
    EXPECT_EQ(n->name, "n");
    EXPECT_EQ(light.intensity, 1.0f);
}

} // namespace
