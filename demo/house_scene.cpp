#include "demo/house_scene.h"

#include <cmath>
#include <limits>
#include <vector>

#include <d3dx9math.h>

#include "demo/block_shaker.h"
#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "demo/timeline.h"
#include "engine/math/matrix.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"
#include "engine/scene/camera.h"
#include "engine/scene/node.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

velmo::Scene* houseScene = nullptr;
velmo::PerspectiveCamera* houseCamera = nullptr;
velmo::INode* houseBlockModel = nullptr;
velmo::INode* taloModel = nullptr;
velmo::DummyNode* armNodes[4] = {};
velmo::DummyNode* armTip = nullptr;
velmo::MeshInstance* chamferPart = nullptr;
velmo::Texture* chamferTextures[2] = {};
velmo::NodePointlight* houseLight = nullptr;
float cameraSwing = 9.0f;
float cameraLift = 0.0f;
float houseLastTime = std::numeric_limits<float>::quiet_NaN();

namespace {

constexpr const char* armName = "kilinvittu";
constexpr int ringCount = 7;
// 2 * 3.1415 / 7: the seven arms spread evenly round the house.
constexpr float ringStep = 0.89757144f;

// The ground seen from above: a scene with no nodes and its camera. It is made, and its root
// takes its targets from the pool, but it is never drawn: nothing it would draw reaches the
// picture.
velmo::Scene* groundScene = nullptr;
velmo::PerspectiveCamera* groundCamera = nullptr;

velmo::Matrix scaling(float x, float y, float z) {
    velmo::Matrix m;
    D3DXMatrixScaling(&m, x, y, z);
    return m;
}

// The root of a model file through the shared loader; null when the file yields none, or when
// there is no loader to read it.
velmo::INode* loadModel(const char* path) {
    return sharedModelLoader != nullptr ? sharedModelLoader->load(path) : nullptr;
}

void premultiply(velmo::INode* node, const velmo::Matrix& m) {
    node->transform = velmo::multiplyMatrix(m, node->transform);
}

velmo::DummyNode* makeArmNode(const velmo::Matrix& local) {
    auto* node = new velmo::DummyNode;
    node->setName(armName);
    node->transform = local;
    return node;
}

// Loads the model files that never reach the picture: the ground "data/talomaa.x" and the
// wheels "data/rattais.x". They are read during loading like every other file and placed, but
// attached to no scene, so the wheels are not turned on the ticks either. Nothing keeps the
// trees, so each is freed once placed.
void loadGround(const velmo::Matrix& houseBase) {
    groundScene = new velmo::Scene;
    groundCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
    groundCamera->position = velmo::Vec3(0.0f, 19.0f, 0.0f);
    groundCamera->target = velmo::Vec3(0.0f, 0.0f, 0.0f);
    groundCamera->up = velmo::Vec3(1.0f, 0.0f, 0.0f);
    groundScene->root->camera = groundCamera;

    velmo::INode* ground = loadModel("data/talomaa.x");
    if (ground == nullptr) {
        return;
    }
    premultiply(ground, houseBase);
    if (auto* plane = dynamic_cast<velmo::MeshInstance*>(ground->findByName("Plane01"))) {
        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        plane->material.setAmbient(white);
        plane->material.setDiffuse(white);
    }
    velmo::deleteTree(ground);
}

void loadWheels() {
    velmo::INode* wheels = loadModel("data/rattais.x");
    if (wheels != nullptr) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        premultiply(wheels, velmo::multiplyMatrix(
                                velmo::multiplyMatrix(scaling(2.4f, 2.4f, 32.0f),
                                                      velmo::makeTranslation(0.0f, 0.0f, 40.0f)),
                                velmo::rotationX(1.5707964f)));
    }
    velmo::deleteTree(wheels);
}

// The house's chamfered part gets its own lighting; its texture and "data/sali2.jpg" are the
// pair it flickers between.
void prepareChamferPart() {
    chamferPart = taloModel != nullptr
                      ? dynamic_cast<velmo::MeshInstance*>(taloModel->findByName("ChamferCyl01"))
                      : nullptr;
    if (chamferPart != nullptr) {
        velmo::Material& material = chamferPart->material;
        const float ambient[4] = {0.75f, 0.75f, 0.75f, 0.75f};
        const float diffuse[4] = {5.0f, 5.0f, 5.0f, 5.0f};
        const float specular[4] = {20.0f, 20.0f, 20.0f, 20.0f};
        material.setAmbient(ambient);
        material.setDiffuse(diffuse);
        material.setSpecular(specular);
        material.specularPower = 8.0f;
        chamferTextures[0] = material.texture;
    }
    velmo::preloadFile("data/sali2.jpg");
    chamferTextures[1] = velmo::Device::loadTexture("data/sali2.jpg");
}

// The arm: four block holders, each 1.2 times its parent and 6.8 of its parent's units out
// along x, and the empty tip; the innermost turned half round (3.1415) to point inwards.
void buildArm() {
    const velmo::Matrix grow = scaling(1.2f, 1.2f, 1.2f);
    const velmo::Matrix step = velmo::makeTranslation(6.8f, 0.0f, 0.0f);
    for (int k = 0; k < 4; ++k) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        armNodes[k] = makeArmNode(k == 0 ? velmo::multiplyMatrix(velmo::rotationY(3.1415f), grow)
                                         : velmo::multiplyMatrix(step, grow));
        if (houseBlockModel != nullptr) {
            armNodes[k]->addChild(houseBlockModel);
        }
    }
    armTip = makeArmNode(armNodes[3]->transform);
    armNodes[3]->addChild(armTip);
    for (int k = 3; k > 0; --k) {
        armNodes[k - 1]->addChild(armNodes[k]);
    }
}

void buildRings() {
    velmo::SceneRoot* root = houseScene->root;
    for (int i = 0; i < ringCount; ++i) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        velmo::DummyNode* ring = makeArmNode(velmo::rotationY(static_cast<float>(i) * ringStep));
        ring->addChild(armNodes[0]);
        root->addChild(ring);
        root->registerLights(ring);
        if (i == 0) {
            blockShaker.root = ring;
            blockShaker.collect(ring);
        }
    }
}

// Draws r; when r mod m = 1 draws r2 and gives r2 mod 2, else nothing.
std::optional<int> randomReset(int m) {
    if (demoRand() % m != 1) {
        return std::nullopt;
    }
    return demoRand() % 2;
}

// Whether this tick kicks a block: one in ten while intense, else when a second draw ANDed
// with the quotient 10 / e is 1.
bool kickDrawn(float e) {
    const int r1 = demoRand();
    if (houseSceneIntense) {
        return r1 % 10 == 1;
    }
    const int r2 = demoRand();
    const std::optional<int32_t> q = kickQuotient(e);
    return q.has_value() && (r2 & *q) == 1;
}

// Keeps the lowest origin of the arm at -8: moves the arm's base by the lowest height found.
void restArmOnGround() {
    velmo::INode* root = blockShaker.root;
    if (root == nullptr) {
        return;
    }
    root->rewindChildren();
    if (velmo::INode* base = root->nextChild()) {
        base->transform._42 = base->transform._42 - (blockShaker.lowestHeight + 8.0f);
    }
}

} // namespace

float houseOrbitAngle(float t, float swing) {
    const float wave = std::sin(t / 10.0f) * 0.5f;
    return (wave + swing) * 0.4f;
}

HouseCameraPose houseCameraPose(float t, float swing, float lift) {
    const float a = houseOrbitAngle(t, swing);
    const float s = std::sin(a) * 35.0f;
    const float c = std::cos(a) * 35.0f;
    const float k = 0.7f - 0.5f * lift;
    HouseCameraPose pose;
    pose.position = velmo::Vec3(k * s, std::cos(t / 6.0f) * 0.7f + 2.9f + 18.0f * lift, k * c);
    pose.target = velmo::Vec3(0.0f, -2.0f * (lift + 1.0f), 0.0f);
    pose.up = lift == 0.0f ? velmo::Vec3(0.0f, 1.5f, 0.0f) : velmo::Vec3(0.5f, 0.5f, 0.0f);
    return pose;
}

float upperBandEnergy(const float* row) {
    float e = 0.0f;
    for (int bin = 52; bin < 64; ++bin) {
        e += row[bin];
    }
    return e;
}

std::optional<int32_t> kickQuotient(float e) {
    const float q = 10.0f / e;
    // 2^31 is exact in single precision; every float below it and at or above -2^31 truncates
    // into range. Not-a-number fails both comparisons.
    if (!(q >= -2147483648.0f && q < 2147483648.0f)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(q);
}

HouseGrade houseGrade(const float* row, bool intense) {
    const float bass = row[1] * 4.0f;
    float v = bass * bass;
    float e = upperBandEnergy(row);
    if (!intense) {
        v = v * 0.5f;
        e = 0.0f;
    }
    return {v + 0.5f, 1.0f - 10.0f * e};
}

void buildHouseScene() {
    houseScene = new velmo::Scene;
    houseCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
    velmo::SceneRoot* root = houseScene->root;
    root->camera = houseCamera;

    // Both stay set for the builders that load after this one.
    if (sharedModelLoader != nullptr) {
        sharedModelLoader->negateNormals = true;
        sharedModelLoader->singleTextureSet = true;
    }
    houseBlockModel = loadModel("data/block1.x");
    taloModel = loadModel("data/talo.x");

    // The house model lies on its back and too high: stand it up, flatten it a little in depth
    // and lower it 15 units.
    // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
    const velmo::Matrix houseBase = velmo::multiplyMatrix(
        velmo::multiplyMatrix(scaling(1.0f, 1.0f, 0.8f), velmo::rotationX(1.5707964f)),
        velmo::makeTranslation(0.0f, -15.0f, 0.0f));
    if (taloModel != nullptr) {
        premultiply(taloModel, houseBase);
    }
    loadGround(houseBase);
    if (taloModel != nullptr) {
        root->addChild(taloModel);
        root->registerLights(taloModel);
    }
    prepareChamferPart();

    buildArm();
    buildRings();
    loadWheels();

    root->blurMapEnabled = true;
    root->blurMapTarget = velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    // The stages over the house read only the blur map.
    root->floatTargetRead = false;
    root->colorTargetRead = false;

    houseLight = new velmo::NodePointlight(0.0f, 0.0f, 0.0f, /*intensity=*/5.0f, /*power=*/1.0f,
                                           /*range=*/50.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    root->addChild(houseLight);
    root->registerLights(houseLight);

    houseScene->ambientScale = D3DXVECTOR4(0.6f, 0.6f, 0.6f, 0.6f);
    houseScene->diffuseScale = D3DXVECTOR4(2.0f, 2.0f, 2.0f, 2.0f);
    houseScene->velocityScale = 0.06f;

    // The scene's glow stage is never drawn; making one once here puts its effect into the
    // effect cache during loading instead of making one on every frame.
    velmo::BloomEffect bloom(houseScene, 0.1f, 2.0f, 1.5f);
}

void updateHouseScene(float t) {
    if (houseScene == nullptr) {
        return; // not built: nothing to move
    }
    if (std::isnan(houseLastTime)) {
        houseLastTime = t;
    }
    const float dt = t - houseLastTime;
    houseLastTime = t;

    if (const std::optional<int> jump = randomReset(10)) {
        cameraSwing = 10.0f - 3.0f * static_cast<float>(*jump);
    }

    if (houseSceneIntense && demoRand() % 3 == 1) {
        const int choice = demoRand() % 2;
        if (chamferPart != nullptr) {
            chamferPart->material.texture = chamferTextures[choice];
        }
    }

    const float e = upperBandEnergy(currentSpectrumRow);
    const std::optional<int> lift = randomReset(houseSceneIntense ? 10 : 15);
    if (lift.has_value()) {
        cameraLift = static_cast<float>(*lift);
    }
    if (houseSceneIntense) {
        cameraLift = cameraLift + e;
    }

    const HouseCameraPose pose = houseCameraPose(t, cameraSwing, cameraLift);
    houseCamera->position = pose.position;
    houseCamera->target = pose.target;
    houseCamera->up = pose.up;
    velmo::setTranslation(velmo::identityMatrix(houseLight->transform), houseCamera->getPosition());

    if (kickDrawn(e)) {
        blockShaker.kick();
    }
    blockShaker.step();
    blockShaker.findLowest();
    restArmOnGround();

    houseScene->update(dt);
}

namespace {

// The picture stages over the rendered scene, laid over the current target.
void drawHouseStages(float t, const HouseGrade& grade) {
    velmo::HSVEffect hsv(houseScene, 0.0f, grade.saturation, grade.value);
    hsv.render(t);
    velmo::MappedDistortionEffect distortion(hsv.getRenderTarget(), houseScene->extraTarget(),
                                             -10.0f * houseScene->timeStep(), 1.0f);
    distortion.render(t);
    velmo::drawScreenQuad(distortion.getRenderTarget(), 1.0f, 0.0f, D3DBLEND_ONE,
                          D3DBLEND_SRCALPHA);
}

} // namespace

void renderHouseScene() {
    if (houseScene == nullptr) {
        return; // not built: nothing to draw
    }
    const float t = demoTime;
    houseScene->render(t);
    demoRand();
    drawHouseStages(t, houseGrade(currentSpectrumRow, houseSceneIntense));
}

void warmHouseScene() {
    if (houseScene == nullptr) {
        return;
    }
    const float silent[SpectrumData::binsPerRow] = {};
    houseScene->warm(52.0f);
    drawHouseStages(52.0f, houseGrade(silent, false));
}

void freeHouseScene() {
    if (houseScene != nullptr) {
        std::vector<velmo::INode*> rings;
        for (velmo::INode* child : houseScene->root->children) {
            if (child != taloModel && child != houseLight) {
                rings.push_back(child);
            }
        }
        delete houseScene;
        houseScene = nullptr;
        for (velmo::INode* ring : rings) {
            delete ring;
        }
    }
    delete houseCamera;
    houseCamera = nullptr;
    delete houseLight;
    houseLight = nullptr;
    for (velmo::DummyNode*& node : armNodes) {
        delete node;
        node = nullptr;
    }
    delete armTip;
    armTip = nullptr;
    delete groundScene;
    groundScene = nullptr;
    delete groundCamera;
    groundCamera = nullptr;
}
