#include "demo/finale_scene.h"

#include <algorithm>
#include <cmath>

#include "demo/chain_physics.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "engine/math/matrix.h"
#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/mesh/modifiers.h"
#include "engine/mesh/subdivide.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/device_state.h"
#include "engine/resources/render_target.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

velmo::Scene* finaleScene = nullptr;
velmo::PerspectiveCamera* finaleCamera = nullptr;
velmo::MeshLoader* finaleLoader = nullptr;
velmo::MeshInstance* roomBox = nullptr;
velmo::INode* libertyModel = nullptr;
velmo::NodePointlight* cameraLight = nullptr;
velmo::NodePointlight* chainLight = nullptr;
float finaleClock = 0.0f;
float physicsClock = 0.0f;

namespace {

bool physicsStarted = false;
// The previous frame's camera target, kept when the weights give no finite point.
velmo::Vec3 cameraTarget(0.0f, 0.0f, 0.0f);

// The first child of node when it is a mesh instance; null otherwise (or for a null node).
velmo::MeshInstance* firstInstance(velmo::INode* node) {
    if (!node)
        return nullptr;
    node->rewindChildren();
    return dynamic_cast<velmo::MeshInstance*>(node->nextChild());
}

void addToScene(velmo::INode* node) {
    if (!node)
        return;
    finaleScene->root->addChild(node);
    finaleScene->root->registerLights(node);
}

void setWhite(velmo::MeshInstance* instance) {
    if (!instance)
        return;
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    instance->material.setAmbient(white);
    instance->material.setDiffuse(white);
    instance->material.setSpecular(white);
}

D3DXMATRIX uniformScale(float s) {
    D3DXMATRIX m = velmo::identityMatrix();
    m._11 = m._22 = m._33 = s;
    return m;
}

velmo::MeshInstance* buildRoom() {
    auto* room = new velmo::MeshInstance;
    const float diffuse[4] = {0.002f, 0.002f, 0.002f, 0.002f};
    const float specular[4] = {0.25f, 0.25f, 0.25f, 0.25f};
    room->material.setDiffuse(diffuse);
    room->material.texture = moonTexture;
    room->material.normalMap = moonTexture;
    room->material.setSpecular(specular);

    velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
    velmo::meshgen::Cube(velmo::Vec3(130.0f, 130.0f, 130.0f)).generate(mesh);
    room->addChild(mesh);
    velmo::meshmodify::InvertFaces().apply(mesh);
    velmo::meshmodify::Subdivide(2, 1).apply(mesh);
    velmo::meshmodify::Subdivide(1, 0).apply(mesh);
    velmo::meshmodify::Texgen(0, 0.002f).apply(mesh);
    velmo::meshmodify::Texgen(1, 0.06f).apply(mesh);
    return room;
}

float upperSpectrum() {
    float sum = 0.0f;
    for (int bin = 32; bin < 64; ++bin)
        sum += currentSpectrumRow[bin];
    return 0.5f * sum;
}

} // namespace

void buildFinaleScene() {
    finaleScene = new velmo::Scene;
    finaleCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
    finaleScene->root->camera = finaleCamera;

    finaleLoader = new velmo::MeshLoader;
    finaleLoader->singleTextureSet = true;
    finaleLoader->negateNormals = false;

    chainModel = finaleLoader->load("data/chain.x");
    if (chainModel) {
        setWhite(firstInstance(chainModel));
        chainModel->transform = velmo::multiplyMatrix(chainModel->transform, uniformScale(0.3f));
    }

    chainAnchor = new velmo::DummyNode;
    buildChains();
    addToScene(chainAnchor);

    // Loaded like the others and shown nowhere: nothing keeps the tree, so it is freed at once.
    velmo::deleteTree(finaleLoader->load("data/koriste.x"));

    roomBox = buildRoom();
    addToScene(roomBox);

    libertyModel = finaleLoader->load("data/liberty.x");
    if (velmo::MeshInstance* statue = firstInstance(libertyModel)) {
        statue->rewindChildren();
        if (auto* mesh = dynamic_cast<velmo::Mesh*>(statue->nextChild()))
            mesh->transform(uniformScale(0.25f));
        setWhite(statue);
    }
    addToScene(libertyModel);

    const velmo::Vec3 base =
        libertyModel ? velmo::getTranslation(libertyModel->transform) : velmo::Vec3(0, 0, 0);
    cameraLight = new velmo::NodePointlight(base.x + 40.0f, base.y + 30.0f, base.z + 10.0f,
                                            /*intensity=*/6.0f, /*power=*/1.0f,
                                            /*range=*/250.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    chainLight = new velmo::NodePointlight(base.x - 40.0f, base.y + 30.0f, base.z + 10.0f,
                                           /*intensity=*/7.0f, /*power=*/1.0f,
                                           /*range=*/250.0f, 1.0f, 0.1f, 0.1f, 1.0f);
    addToScene(cameraLight);
    addToScene(chainLight);

    finaleScene->root->blurMapEnabled = true;
    finaleScene->root->blurMapTarget =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    finaleScene->velocityScale = 0.1f;
}

velmo::Vec3 finaleAnchorDrive(float clock, float t, const velmo::Vec3& p0) {
    if (!(clock > 10.0f))
        return velmo::Vec3(0.0f, 0.0f, 0.0f);
    const float u = 2.5f * t;
    const velmo::Vec3 d =
        velmo::normalized(velmo::Vec3(std::cos(1.1f * u) + std::sin(0.4f * u) * std::cos(0.6f * u),
                                      std::sin(0.2f * u) + std::sin(u) * std::cos(0.2f * u),
                                      std::cos(1.2f * u) + std::cos(0.2f * u)));
    const float w =
        std::sin(0.5f * u / 3.0f) + std::sin(0.2f * u / 3.0f) + std::sin(u / 3.0f) * std::cos(u);
    return 3.5f * w * d - 0.025f * velmo::vecLength(p0) * velmo::normalized(p0);
}

D3DXMATRIX finaleStatueFrame(const velmo::Vec3& drive, const velmo::Vec3& mean) {
    const velmo::Vec3 diagonal(1.0f, 1.0f, 1.0f);
    velmo::Vec3 up = velmo::vecLengthSq(drive) > 1e-10f ? drive : velmo::Vec3(0.0f, 1.0f, 0.0f);
    // A drive along the diagonal leaves no side axis; the frame then stands upright rather than
    // collapsing into a singular matrix.
    if (velmo::vecLengthSq(velmo::cross(up, diagonal)) <= 1e-10f * velmo::vecLengthSq(up))
        up = velmo::Vec3(0.0f, 1.0f, 0.0f);
    velmo::Vec3 c1 = velmo::cross(up, diagonal);
    velmo::Vec3 c2 = velmo::cross(c1, up);
    velmo::normalize(c2);
    velmo::normalize(up);
    velmo::normalize(c1);
    const D3DXMATRIX rotation(c2.x, c2.y, c2.z, 0.0f, up.x, up.y, up.z, 0.0f, c1.x, c1.y, c1.z,
                              0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    return velmo::multiplyMatrix(rotation, velmo::makeTranslation(mean.x, mean.y, mean.z));
}

void updateFinaleScene(float timeStep, float t) {
    finaleClock += timeStep;
    if (!chainLight || chainPoints.size() < static_cast<size_t>(chainCount * pointsPerChain))
        return;

    const velmo::Vec3 drive = finaleAnchorDrive(finaleClock, t, chainPoints[0].position);
    velmo::Vec3 mean(0.0f, 0.0f, 0.0f);
    for (int k = 0; k < chainCount; ++k) {
        velmo::Vec3& anchor = chainPoints[k * pointsPerChain].position;
        anchor += drive;
        mean += anchor;
    }
    mean /= static_cast<float>(chainCount);

    const velmo::Vec3& first = chainPoints[0].position;
    velmo::makeTranslation(chainLight->transform, first.x, first.y, first.z);
    if (libertyModel)
        libertyModel->transform = finaleStatueFrame(drive, mean);
}

velmo::Vec3 finaleCameraEye(float t) {
    const float q = 0.5f * t;
    return 40.0f * velmo::Vec3(std::sin(q),
                               std::sin(0.7f * q) + std::cos(0.9f * q) + std::cos(0.2f * q),
                               std::sin(0.4f * q) + std::cos(q) + std::sin(0.8f * q));
}

velmo::Vec3 finaleCameraTarget(const velmo::Vec3& eye, const velmo::Vec3& previous) {
    velmo::Vec3 weighted(0.0f, 0.0f, 0.0f);
    float weights = 0.0f;
    for (const ChainPoint& point : chainPoints) {
        // A point on the eye would weigh infinitely and turn the view into NaN.
        const float w = 1.0f / std::max(velmo::vecLengthSq(eye - point.position), 1e-6f);
        weighted += w * point.position;
        weights += w;
    }
    const velmo::Vec3 target = weighted / weights;
    if (!(weights > 0.0f) || !std::isfinite(target.x) || !std::isfinite(target.y) ||
        !std::isfinite(target.z))
        return previous;
    return target;
}

namespace {

// The picture stages over the rendered scene for the upper spectrum's strength s, laid over
// the current target.
void drawFinaleStages(float t, float s);

} // namespace

void renderFinaleScene(float t) {
    // Nothing to draw before the scene is built.
    if (!finaleScene)
        return;
    if (!physicsStarted) {
        physicsStarted = true;
        physicsClock = t;
    }
    const float h = 1.0f / 60.0f;
    while (t - physicsClock >= h) {
        physicsClock += h;
        stepChains();
    }

    const float s = upperSpectrum();
    cameraTarget = finaleCameraTarget(finaleCameraPosition, cameraTarget);
    const velmo::Vec3 eye = finaleCameraEye(t);
    finaleCameraPosition = eye;
    velmo::makeTranslation(cameraLight->transform, eye.x, eye.y, eye.z);
    finaleCamera->position = eye;
    finaleCamera->target = cameraTarget;
    finaleCamera->up = velmo::Vec3(0.0f, 1.0f, 0.0f);

    finaleScene->ambientScale = D3DXVECTOR4(0.1f, 0.1f, 0.1f, 0.1f);
    finaleScene->specularScale = D3DXVECTOR4(3.0f, 3.0f, 3.0f, 3.0f);
    finaleScene->diffuseScale = D3DXVECTOR4(4.5f, 4.5f, 4.5f, 4.5f);
    finaleScene->render(t);
    drawFinaleStages(t, s);
}

void warmFinaleScene() {
    if (!finaleScene)
        return;
    finaleScene->warm(155.0f);
    drawFinaleStages(155.0f, 0.0f);
}

namespace {

void drawFinaleStages(float t, float s) {
    velmo::MotionblurEffect blur(finaleScene->getRenderTarget(), finaleScene->extraTarget(),
                                 finaleScene->floatTarget(), 0.01f);
    velmo::HSVEffect hsv(&blur, 0.0f, 5.0f * s + 2.0f, 2.0f * s + 1.0f);
    blur.render(t);
    hsv.render(t);

    const float factor = t < 205.0f ? 0.03f * s : 0.01f;
    velmo::MappedDistortionEffect dist(hsv.getRenderTarget(), finaleScene->colorTarget(), factor,
                                       0.03f);
    dist.render(t);
    velmo::drawScreenQuad(dist.getRenderTarget(), 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
}

} // namespace
