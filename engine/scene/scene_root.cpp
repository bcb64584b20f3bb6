#include "engine/scene/scene_root.h"

#include <algorithm>
#include <cmath>

#include "engine/math/matrix.h"
#include "engine/platform/log.h"
#include "engine/resources/device_state.h"
#include "engine/resources/render_target.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"

namespace velmo {

namespace {

IDirect3DDevice9* device() {
    return Device::instance()->state->device;
}

void clearCurrentTarget(D3DCOLOR color) {
    if (device() != nullptr) {
        lookUp(device()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0));
    }
}

} // namespace

SceneRoot::SceneRoot(Scene* ownerScene) : owner(ownerScene) {
    DeviceState* state = Device::instance()->state;
    floatTargetRT = state->acquireRenderTarget(D3DFMT_R32F);
    colorTargetRT = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
}

SceneRoot::~SceneRoot() {
    DeviceState* state = Device::instance()->state;
    for (RenderTarget* target : {blurMapTarget, floatTargetRT, colorTargetRT}) {
        if (target != nullptr) {
            state->returnRenderTarget(target);
        }
    }
    blurMapTarget = floatTargetRT = colorTargetRT = nullptr;
    children.clear();
    childPositions.clear();
    lights.clear();
}

void SceneRoot::registerLights(INode* node) {
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        registerLights(child);
    }
    if (auto* light = dynamic_cast<NodePointlight*>(node)) {
        lights.push_back(light);
    }
}

void SceneRoot::render(float t) {
    const float moved = std::fabs(lastTransformTime - t);
    // Without a camera there is no view-projection: the pass waits for a render that has one.
    if (moved > 0.01f && camera != nullptr) {
        // The first pass has no earlier pass to measure from: its time step is 0.
        timeStep = transformPasses > 0 ? moved : 0.0f;
        computeTransforms(identityMatrix(), this, t, 0);
        lastTransformTime = t;
    }
    currentScene = owner;
    gatherLights();
    time = t;
    MatrixStack::instance()->scene = owner;

    for (RenderTarget* target : {blurMapTarget, drawnFloatTarget(), drawnColorTarget()}) {
        if (target != nullptr) {
            target->begin(0);
            clearCurrentTarget(0xFF808080);
            target->end();
        }
    }
    clearCurrentTarget(0x00000000);

    if (device() != nullptr) {
        lookUp(device()->BeginScene());
    }
    renderNodes(identityMatrix(), this, 0);
    if (device() != nullptr) {
        lookUp(device()->EndScene());
    }
}

void SceneRoot::updateNodes(INode* node, const D3DXMATRIX& parentWorld, float t) {
    const D3DXMATRIX world = multiplyMatrix(node->getTransform(), parentWorld);
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        updateNodes(child, world, t);
    }
    node->update(&parentWorld, t);
}

void SceneRoot::computeTransforms(const D3DXMATRIX& parentWorld, INode* node,
                                  [[maybe_unused]] float t, uint32_t parentKey) {
    passViewProjections[1] = passViewProjections[0];
    passViewProjections[0] = camera->getViewProjection();
    ++transformPasses;
    computeTransforms(parentWorld, node, parentKey, passViewProjections[0]);
}

void SceneRoot::computeTransforms(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentKey,
                                  const D3DXMATRIX& viewProjection) {
    if (node->hidden) {
        return;
    }
    const D3DXMATRIX world = multiplyMatrix(node->getTransform(), parentWorld);
    const auto [key, matrices] = claimPath(node, parentKey);
    matrices->previous = matrices->current;
    matrices->current = multiplyMatrix(world, viewProjection);
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        computeTransforms(world, child, key, viewProjection);
    }
}

void SceneRoot::setChildHidden(INode* child, bool hide) {
    if (child->hidden == hide) {
        return;
    }
    child->hidden = hide;
    if (!hide && transformPasses > 0) {
        // The root's world is its own transform: the walks start it under the identity.
        resumeTransforms(getTransform(), child, pathHash(this, 0));
    }
}

void SceneRoot::resumeTransforms(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentKey) {
    if (node->hidden) {
        return;
    }
    const D3DXMATRIX world = multiplyMatrix(node->getTransform(), parentWorld);
    const auto [key, matrices] = claimPath(node, parentKey);
    matrices->previous =
        transformPasses > 1 ? multiplyMatrix(world, passViewProjections[1]) : identityMatrix();
    matrices->current = multiplyMatrix(world, passViewProjections[0]);
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        resumeTransforms(world, child, key);
    }
}

void SceneRoot::gatherLights() {
    frameLights.clear();
    gatherLights(this, identityMatrix());
}

void SceneRoot::gatherLights(INode* node, const D3DXMATRIX& parentWorld) {
    const D3DXMATRIX world = multiplyMatrix(node->getTransform(), parentWorld);
    if (auto* light = dynamic_cast<NodePointlight*>(node)) {
        frameLights.emplace_back(light, world);
    }
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        gatherLights(child, world);
    }
}

void SceneRoot::renderNodes(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentKey) {
    if (node->hidden) {
        return;
    }
    const D3DXMATRIX world = multiplyMatrix(node->getTransform(), parentWorld);
    uint32_t key = pathHash(node, parentKey);
    // Only a hash that two paths share needs a look-up to tell which key is this path's.
    if (!sharedHashes.empty() &&
        std::find(sharedHashes.begin(), sharedHashes.end(), key) != sharedHashes.end()) {
        key = claimPath(node, parentKey).first;
    }
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        renderNodes(world, child, key);
    }
    currentPathHash = key;
    if (node->isRenderable()) {
        if (auto* renderable = dynamic_cast<INodeRenderable*>(node)) {
            renderable->render(&parentWorld);
        }
    }
}

uint32_t SceneRoot::pathHash(const INode* node, uint32_t parentHash) {
    return pathHash(static_cast<uint32_t>(node->id), parentHash);
}

uint32_t SceneRoot::pathHash(uint32_t identity, uint32_t parentHash) {
    const uint32_t n = identity;
    const uint32_t p = parentHash;
    return (n * n + 10000u) ^ (n * p) ^ (p >> 16) ^ (p << 16);
}

SceneRoot::PathMatrices& SceneRoot::pathEntry(uint32_t key) {
    auto it = pathMatrices.find(key);
    if (it == pathMatrices.end()) {
        it = pathMatrices.emplace(key, PathMatrices{identityMatrix(), identityMatrix()}).first;
    }
    return it->second;
}

std::pair<uint32_t, SceneRoot::PathMatrices*> SceneRoot::claimPath(const INode* node,
                                                                   uint32_t parentKey) {
    const uint32_t hash = pathHash(node, parentKey);
    for (uint32_t key = hash;; ++key) {
        auto it = pathMatrices.find(key);
        if (it == pathMatrices.end()) {
            it = pathMatrices
                     .emplace(key,
                              PathMatrices{identityMatrix(), identityMatrix(), node->id, parentKey})
                     .first;
        }
        PathMatrices& entry = it->second;
        if (entry.node == PathMatrices::kNoNode) {
            entry.node = node->id;
            entry.parentKey = parentKey;
        }
        if (entry.node == node->id && entry.parentKey == parentKey) {
            return {key, &entry};
        }
        // Another path holds this key: two paths would share their matrices here.
        if (std::find(sharedHashes.begin(), sharedHashes.end(), hash) == sharedHashes.end()) {
            sharedHashes.push_back(hash);
        }
    }
}

} // namespace velmo
