#include "engine/render/shader_binding.h"

#include <array>
#include <string>

#include <d3dx9.h>

#include "engine/math/matrix.h"
#include "engine/platform/log.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/shader.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace velmo {

namespace {

void setRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (IDirect3DDevice9* device = Device::instance()->state->device) {
        lookUp(device->SetRenderState(state, value));
    }
}

D3DXVECTOR4 scaled(const D3DXVECTOR4& color, const D3DXVECTOR4& factor) {
    return {color.x * factor.x, color.y * factor.y, color.z * factor.z, color.w * factor.w};
}

void sendMaterial(TShader* shader, const Material& m, const Scene& s, bool directional) {
    const SceneRoot* root = s.root;
    shader->setVector("material.ambient", scaled(m.ambient, s.ambientScale));
    shader->setVector("material.diffuse", scaled(m.diffuse, s.diffuseScale));
    shader->setVector("material.specular", scaled(m.specular, s.specularScale));
    shader->setFloat("material.specularPower", m.specularPower);
    shader->setFloat("deltaTime", root->timeStep);
    shader->setFloat("time", root->time);
    if (m.lightBleed != 0.0f) {
        shader->setFloat("material.lightBleed", m.lightBleed);
    }
    shader->setBool("material.lightBleedEnabled", m.lightBleed != 0.0f);
    shader->setFloat("material.limitIllumination", m.limitIllumination);
    shader->setVector("environmentAmbient", D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f));
    shader->setTexture("tex", m.texture);
    shader->setBool("enableNormalmap", m.normalMap != nullptr);
    if (m.normalMap != nullptr) {
        shader->setTexture("normalmap", m.normalMap);
    }
    shader->setFloat("material.bumpiness", m.bumpiness);
    shader->setInt("blendMode", m.blendMode);
    shader->setFloat("blendFactor", m.blendFactor);
    if (directional) {
        shader->setFloat3("directionallight.dir", &s.directionalLightDir.x);
        shader->setVector("directionallight.color",
                          s.directionalLightColor * s.directionalLightIntensity);
    }
    shader->setBool("enableDirectionallight", directional);
}

// The names of the point-light array's members: prefix "pointLight[" + the single character
// 48 + i + "]." and the member. Built once, they are the same for every draw.
struct PointLightNames {
    std::string position, color, power, intensity;
};
const std::array<PointLightNames, kMaxPointLights>& pointLightNames() {
    static const auto names = [] {
        std::array<PointLightNames, kMaxPointLights> built;
        for (int i = 0; i < kMaxPointLights; ++i) {
            const std::string prefix = std::string("pointLight[") + char('0' + i) + "].";
            built[size_t(i)] = {prefix + "position", prefix + "color", prefix + "power",
                                prefix + "intensity"};
        }
        return built;
    }();
    return names;
}

void sendPointLights(TShader* shader, const Material& m, const SceneRoot& root) {
    if (!m.lit) {
        shader->setInt("pointLightAmount", 0);
        return;
    }
    // The array has room for the first lights only; the count never names an entry beyond it.
    const int count = static_cast<int>(root.frameLights.size());
    const int sent = count < kMaxPointLights ? count : kMaxPointLights;
    shader->setInt("pointLightAmount", sent);
    for (int i = 0; i < sent; ++i) {
        const NodePointlight* light = root.frameLights[size_t(i)].first;
        const D3DXMATRIX& world = root.frameLights[size_t(i)].second;
        const PointLightNames& names = pointLightNames()[size_t(i)];
        shader->setVector3(names.position, world._41, world._42, world._43);
        shader->setVector(names.color, light->color * light->intensity);
        shader->setFloat(names.power, light->power);
        shader->setFloat(names.intensity, light->intensity);
    }
}

void setBlendStates(int32_t blendMode) {
    switch (blendMode) {
    case 1:
        setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        setRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        setRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        break;
    case 2:
        setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        setRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        break;
    default:
        setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        break;
    }
    setRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    setRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

} // namespace

float upperDeterminant(const D3DXMATRIX& m) {
    return m._11 * (m._22 * m._33 - m._23 * m._32) - m._12 * (m._21 * m._33 - m._23 * m._31) +
           m._13 * (m._21 * m._32 - m._22 * m._31);
}

void setShaderTransforms(INode* node, MatrixStack* stack) {
    TShader* shader = stack->shader;
    SceneRoot* root = stack->scene->root;
    const TCamera* camera = root->camera;
    const D3DXMATRIX viewProjection = camera->getViewProjection();
    const D3DXMATRIX view = camera->getView();

    D3DXMATRIX world = node->getTransform();
    if (!stack->matrices.empty()) {
        world = multiplyMatrix(world, stack->top());
    }
    const D3DXMATRIX worldInv = invertMatrix(world);
    const D3DXMATRIX wvp = multiplyMatrix(world, viewProjection);
    const D3DXMATRIX wvpInv = invertMatrix(wvp);
    const D3DXMATRIX worldView = multiplyMatrix(world, view);

    shader->setMatrix("worldViewProjection", wvp);
    shader->setMatrix("worldViewProjInv", wvpInv);
    shader->setMatrix("world", world);
    shader->setMatrix("viewProjection", viewProjection);
    shader->setMatrix("worldView", worldView);
    shader->setMatrix("worldInv", worldInv);

    // The change of the drawn node path's matrix over the last transform pass.
    const SceneRoot::PathMatrices& path = root->pathEntry(root->currentPathHash);
    shader->setMatrix("velocityTransform", subtractMatrix(path.current, path.previous));

    setRenderState(D3DRS_CULLMODE, upperDeterminant(wvp) < 0.0f ? D3DCULL_CW : D3DCULL_CCW);
}

void beginMaterialShader(MeshInstance* instance, MatrixStack* stack) {
    const Material& material = instance->material;
    Scene* scene = stack->scene;
    const bool directional =
        material.receivesDirectionalLight && scene->directionalLightEnabled && material.lit;

    std::string file = material.getEffectFile();
    if (file.empty()) {
        file = kDefaultEffectFile;
    }
    std::string technique = material.getTechnique();
    if (technique.empty()) {
        technique = kDefaultTechnique;
    }
    preloadFile(file);
    stack->shader = new TShader(file, technique, scene);
    TShader* shader = stack->shader;

    setShaderTransforms(instance, stack);
    sendMaterial(shader, material, *scene, directional);

    if (RenderTarget* extra = scene->extraTarget()) {
        shader->setFloat("velocityScale", scene->velocityScale);
        extra->begin(1);
    }
    if (RenderTarget* color = scene->root->drawnColorTarget()) {
        color->begin(3);
    }
    if (RenderTarget* depth = scene->root->drawnFloatTarget()) {
        depth->begin(2);
    }

    sendPointLights(shader, material, *scene->root);
    setBlendStates(material.blendMode);

    shader->begin();
    if (shader->effect != nullptr) {
        lookUp(shader->effect->BeginPass(0));
    }
}

void endMaterialShader(MatrixStack* stack) {
    TShader* shader = stack->shader;
    if (shader != nullptr && shader->effect != nullptr) {
        lookUp(shader->effect->EndPass());
        if (shader->begun) {
            lookUp(shader->effect->End());
            shader->begun = false;
        }
    }
    Scene* scene = stack->scene;
    if (RenderTarget* extra = scene->extraTarget()) {
        extra->end();
    }
    if (RenderTarget* color = scene->root->drawnColorTarget()) {
        color->end();
    }
    if (RenderTarget* depth = scene->root->drawnFloatTarget()) {
        depth->end();
    }
    delete shader;
    stack->shader = nullptr;
}

} // namespace velmo
