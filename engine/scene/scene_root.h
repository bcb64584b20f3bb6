// The root node of a scene and the walks over its graph: the update walk, the transform pass
// that keeps each node path's world-view-projection matrix for motion vectors, the gathering
// of point lights and the render walk.
//
// Every walk uses world = local * parent world. The update and render walks handle a node
// after its children and hand it its parent's world matrix; the transform pass and the light
// gathering handle a node before its children.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include <d3dx9math.h>

#include "engine/scene/node.h"

namespace velmo {

class RenderTarget;
class Scene;
class TCamera;

class SceneRoot : public DummyNode {
public:
    // Borrows the float (D3DFMT_R32F) and colour (D3DFMT_A8R8G8B8) targets from the pool.
    explicit SceneRoot(Scene* owner);
    // Gives back the blur-map target (when set), the float target and the colour target, in
    // that order, and lets go of the children and lights without destroying them.
    ~SceneRoot() override;

    // Appends every point light of the subtree, children before their parent, to lights. No
    // duplicate check.
    void registerLights(INode* node);

    // Runs the transform pass when the time moved by more than 0.01, gathers the lights,
    // clears the further targets to opaque mid grey and the current target to transparent
    // black, and draws the graph between BeginScene and EndScene.
    void render(float t);

    // The update walk: the node's subtree first, then the node's update with parentWorld.
    void updateNodes(INode* node, const D3DXMATRIX& parentWorld, float t);
    // The transform pass, pre-order: each path's matrix moves from current to previous, and
    // current becomes world * the camera's view-projection. Needs a camera. A hidden subtree
    // is passed by: its matrices wait until it is shown again. Counts the pass and keeps its
    // view-projection.
    void computeTransforms(const D3DXMATRIX& parentWorld, INode* node, float t,
                           uint32_t parentHash);
    // Fills frameLights with every point light of the graph and its world matrix, pre-order.
    void gatherLights();
    // The render walk: the subtree first, then currentPathHash is set and a renderable node
    // draws itself with parentWorld. A hidden subtree is passed by.
    void renderNodes(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentHash);

    // Hides or shows child, a child of the root. Showing a hidden child gives every path of its
    // subtree the two matrices the transform passes it missed would have left: world times the
    // last pass's view-projection as current, and as previous world times the view-projection
    // of the pass before (the identity when only one pass has run). That holds as long as the
    // subtree's local transforms did not change while it was hidden; text that waits for its
    // turn does not move, and a hundred hidden lines then cost the passes nothing.
    void setChildHidden(INode* child, bool hide);

    // The hash of node reached under a parent of hash parentHash (0 under nothing): a node
    // reached along two paths gets two hashes, and keeps each from frame to frame. The node's
    // id is its identity.
    static uint32_t pathHash(const INode* node, uint32_t parentHash);
    // (n * n + 10000) ^ (n * p) ^ (p >> 16) ^ (p << 16) in wrapping 32-bit arithmetic, for the
    // identity n under the parent hash p.
    static uint32_t pathHash(uint32_t identity, uint32_t parentHash);
    // Each node path's world-view-projection matrix before and after the last transform pass.
    struct PathMatrices {
        D3DXMATRIX previous;
        D3DXMATRIX current;
    };
    // The matrices of a path; a path not seen yet gets an entry holding the identity in both.
    PathMatrices& pathEntry(uint32_t hash);
    D3DXMATRIX& previousMatrix(uint32_t hash) { return pathEntry(hash).previous; }
    D3DXMATRIX& currentMatrix(uint32_t hash) { return pathEntry(hash).current; }

    std::vector<NodePointlight*> lights;
    // The lights found at the last render, in walk order, with their world matrices.
    std::vector<std::pair<NodePointlight*, D3DXMATRIX>> frameLights;
    // Not owned; set before the first render.
    TCamera* camera = nullptr;
    Scene* owner;
    RenderTarget* floatTargetRT = nullptr;
    RenderTarget* colorTargetRT = nullptr;
    // Whether a later stage reads the float or the colour target. Where nothing does, the
    // scene's draws neither bind nor clear it: writing pixels no one reads is pure fill cost.
    bool floatTargetRead = true;
    bool colorTargetRead = true;
    // The further targets the scene's draws write: the blur map when installed, the float
    // and colour targets when read. Null for one that is not written.
    RenderTarget* drawnFloatTarget() const { return floatTargetRead ? floatTargetRT : nullptr; }
    RenderTarget* drawnColorTarget() const { return colorTargetRead ? colorTargetRT : nullptr; }
    float lastTransformTime = -1.0f;
    bool blurMapEnabled = false;
    // Optional, installed from the pool by whoever builds the scene; given back by the root.
    RenderTarget* blurMapTarget = nullptr;
    // Both matrices of every node path seen, in one entry per path hash: the transform pass
    // and every draw look a path up once.
    std::unordered_map<uint32_t, PathMatrices> pathMatrices;
    // The path of the renderable node being drawn.
    uint32_t currentPathHash = 0;
    // The time of the current render.
    float time = 0.0f;
    // |t - last| of the last transform pass that ran; 0 for the first pass.
    float timeStep = 0.0f;
    // How many transform passes have run, and the view-projections of the last pass (0) and
    // of the one before it (1).
    int transformPasses = 0;
    std::array<D3DXMATRIX, 2> passViewProjections = {};

private:
    // The matrices of the paths below parentHash that a hidden subtree missed (setChildHidden).
    void resumeTransforms(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentHash);
    void gatherLights(INode* node, const D3DXMATRIX& parentWorld);
    // The transform pass under the camera's view-projection, asked once for the whole pass:
    // the camera cannot move while the pass runs.
    void computeTransforms(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentHash,
                           const D3DXMATRIX& viewProjection);
};

} // namespace velmo
