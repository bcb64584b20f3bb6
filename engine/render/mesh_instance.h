// The renderable node that draws meshes: every mesh in the subtree below it is drawn with the
// one material it carries, each with its own local transform under its ancestors'.
#pragma once

#include <d3dx9math.h>

#include "engine/render/material.h"
#include "engine/scene/node.h"

namespace velmo {

class MeshInstance : public INodeRenderable {
public:
    // Default material, empty bounds, visible.
    MeshInstance() = default;
    // The same, with child as the first child (a glyph mesh, for instance).
    explicit MeshInstance(INode* child);

    // Draws the subtree between the begin and the end of the material's shader; nothing at all
    // when invisible or when the scene being rendered has no camera.
    void render(const D3DXMATRIX* parentWorld) override;
    // Children first, then node itself when it is a mesh: refreshed normals (and tangent
    // frames for a normal map) when lit, its transforms, CommitChanges and the draw. Every call
    // pushes parentWorld on the matrix stack and pops it again.
    void renderNode(const D3DXMATRIX& parentWorld, INode* node);
    // Always the empty box: minimum (10000, 10000, 10000), maximum (-10000, -10000, -10000).
    float* getBounds() override;

    Material material;
    float bounds[6] = {};
    bool visible = true;
};

} // namespace velmo
