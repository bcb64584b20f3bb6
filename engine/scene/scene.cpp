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
