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
    // view-projection. parentKey is the key of the path above node (0 above the root).
    void computeTransforms(const D3DXMATRIX& parentWorld, INode* node, float t, uint32_t parentKey);
    // Fills frameLights with every point light of the graph and its world matrix, pre-order.
    void gatherLights();
    // The render walk: the subtree first, then currentPathHash is set to the node's path key
    // and a renderable node draws itself with parentWorld. A hidden subtree is passed by.
    void renderNodes(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentKey);

    // Hides or shows child, a child of the root. Showing a hidden child gives every path of its
    // subtree the two matrices the transform passes it missed would have left: world times the
    // last pass's view-projection as current, and as previous world times the view-projection
    // of the pass before (the identity when only one pass has run). That holds as long as the
    // subtree's local transforms did not change while it was hidden; text that waits for its
    // turn does not move, and a hundred hidden lines then cost the passes nothing.
    void setChildHidden(INode* child, bool hide);

    // The hash of node reached under the path keyed parentHash (0 under nothing): a node
    // reached along two paths gets two hashes, and keeps each from frame to frame. The node's
    // id is its identity.
    static uint32_t pathHash(const INode* node, uint32_t parentHash);
    // (n * n + 10000) ^ (n * p) ^ (p >> 16) ^ (p << 16) in wrapping 32-bit arithmetic, for the
    // identity n under the parent hash p.
    static uint32_t pathHash(uint32_t identity, uint32_t parentHash);
    // Each node path's world-view-projection matrix before and after the last transform pass,
    // and the path they belong to: its last node's id and the key of the path above it. An
    // entry made by a look-up alone (pathEntry) belongs to no path until a walk claims it.
    struct PathMatrices {
        static constexpr int32_t kNoNode = -1;
        D3DXMATRIX previous;
        D3DXMATRIX current;
        int32_t node = kNoNode;
        uint32_t parentKey = 0;
    };
    // A path's key is its hash, unless another path holds the entry of that hash: then it is
    // the first key after the hash whose entry is free or its own. A path keeps its key from
    // frame to frame, since entries are never dropped.
    // The matrices under a path's key; a key not seen yet gets an entry holding the identity
    // in both.
    PathMatrices& pathEntry(uint32_t key);
    D3DXMATRIX& previousMatrix(uint32_t key) { return pathEntry(key).previous; }
    D3DXMATRIX& currentMatrix(uint32_t key) { return pathEntry(key).current; }

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
    // Both matrices of every node path seen, in one entry per path key: the transform pass
    // and every draw look a path up once.
    std::unordered_map<uint32_t, PathMatrices> pathMatrices;
    // The hashes that two paths or more were found to have. The render walk takes a path's
    // key to be its hash without a look-up except at these.
    std::vector<uint32_t> sharedHashes;
    // The key of the renderable node's path being drawn.
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
    // The key and entry of the path that reaches node under the path keyed parentKey; a path
    // not seen yet gets its key and an entry holding the identity in both matrices.
    std::pair<uint32_t, PathMatrices*> claimPath(const INode* node, uint32_t parentKey);
    // The matrices of the paths below parentKey that a hidden subtree missed (setChildHidden).
    void resumeTransforms(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentKey);
    void gatherLights(INode* node, const D3DXMATRIX& parentWorld);
    // The transform pass under the camera's view-projection, asked once for the whole pass:
    // the camera cannot move while the pass runs.
    void computeTransforms(const D3DXMATRIX& parentWorld, INode* node, uint32_t parentKey,
                           const D3DXMATRIX& viewProjection);
};

} // namespace velmo
