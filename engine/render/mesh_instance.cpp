#include "engine/render/mesh_instance.h"

#include "engine/math/matrix.h"
#include "engine/mesh/mesh.h"
#include "engine/platform/log.h"
#include "engine/render/shader.h"
#include "engine/render/shader_binding.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace velmo {

MeshInstance::MeshInstance(INode* child) {
    addChild(child);
}

void MeshInstance::render(const D3DXMATRIX* parentWorld) {
    if (!visible) {
        return;
    }
    MatrixStack* stack = MatrixStack::instance();
    // Nothing can be placed on the screen without the scene's camera.
    if (stack->scene == nullptr || stack->scene->root->camera == nullptr) {
        return;
    }
    beginMaterialShader(this, stack);
    renderNode(*parentWorld, this);
    endMaterialShader(stack);
}

void MeshInstance::renderNode(const D3DXMATRIX& parentWorld, INode* node) {
    const D3DXMATRIX world = multiplyMatrix(node->getTransform(), parentWorld);
    node->rewindChildren();
    while (INode* child = node->nextChild()) {
        renderNode(world, child);
    }

    MatrixStack* stack = MatrixStack::instance();
    stack->push(parentWorld);
    if (auto* mesh = dynamic_cast<Mesh*>(node)) {
        if (material.lit) {
            mesh->refreshGeometry();
            if (material.normalMap != nullptr) {
                mesh->prepare();
            }
        }
        setShaderTransforms(mesh, stack);
        if (stack->shader != nullptr && stack->shader->effect != nullptr) {
            lookUp(stack->shader->effect->CommitChanges());
        }
        mesh->draw();
    }
    stack->pop();
}

float* MeshInstance::getBounds() {
    bounds[0] = bounds[1] = bounds[2] = 10000.0f;
    bounds[3] = bounds[4] = bounds[5] = -10000.0f;
    return bounds;
}

} // namespace velmo
