#include "engine/scene/scene.h"

#include <utility>

#include "engine/math/matrix.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene_root.h"

namespace velmo {

Scene* currentScene = nullptr;

Scene::Scene() : root(new SceneRoot(this)) {}

Scene::~Scene() {
    // Nothing may go on pointing at a scene that is gone.
    if (currentScene == this) {
        currentScene = nullptr;
    }
    if (MatrixStack::instance()->scene == this) {
        MatrixStack::instance()->scene = nullptr;
    }
    delete root;
    root = nullptr;
}

void Scene::renderContent(float t) {
    root->render(t);
}

RenderTarget* Scene::extraTarget() {
    return root->blurMapTarget;
}

RenderTarget* Scene::floatTarget() {
    return root->floatTargetRT;
}

RenderTarget* Scene::colorTarget() {
    return root->colorTargetRT;
}

void Scene::warm(float t) {
    MatrixStack* stack = MatrixStack::instance();
    Scene* const scene = currentScene;
    Scene* const stackScene = stack->scene;
    const auto matrices = root->pathMatrices;
    const auto lights = root->frameLights;
    const float lastTransformTime = root->lastTransformTime;
    const float timeStep = root->timeStep;
    const float time = root->time;
    const int transformPasses = root->transformPasses;
    const auto passViewProjections = root->passViewProjections;
    const uint32_t pathHash = root->currentPathHash;

    forceRender(t);

    root->pathMatrices = matrices;
    root->frameLights = lights;
    root->lastTransformTime = lastTransformTime;
    root->timeStep = timeStep;
    root->time = time;
    root->transformPasses = transformPasses;
    root->passViewProjections = passViewProjections;
    root->currentPathHash = pathHash;
    currentScene = scene;
    stack->scene = stackScene;
}

void Scene::update(float t) {
    currentScene = this;
    root->updateNodes(root, identityMatrix(), t);
}

INode* Scene::findNode(std::string name) {
    return root->findByName(std::move(name));
}

float Scene::timeStep() {
    return root->timeStep;
}

} // namespace velmo
