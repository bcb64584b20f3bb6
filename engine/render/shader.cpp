#include "engine/render/shader.h"

#include <utility>

#include "engine/math/matrix.h"
#include "engine/platform/log.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/surface.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace velmo {

TShader::TShader(std::string fileName, const std::string& techniqueName)
    : technique(techniqueName), effect(EffectCache::instance()->get(std::move(fileName))) {}

TShader::TShader(std::string fileName, const std::string& techniqueName, Scene* scene)
    : TShader(std::move(fileName), techniqueName) {
    if (scene != nullptr) {
        sendSceneParameters(scene);
    }
}

TShader::~TShader() {
    if (begun) {
        if (effect != nullptr) {
            lookUp(effect->End());
        }
        begun = false;
    }
}

void TShader::sendSceneParameters(Scene* scene) {
    const SceneRoot* root = scene->root;
    setFloat("deltaTime", root->timeStep);
    setFloat("time", root->time);
    setTexture("depthTex", scene->floatTarget());
    const TCamera* camera = root->camera;
    if (camera == nullptr) {
        return;
    }
    setMatrix("viewProjection", camera->getViewProjection());
    const D3DXMATRIX projection = camera->getProjection();
    setMatrix("projection", projection);
    setMatrix("projectionInv", invertMatrix(projection));
    if (camera->getType() == 0) {
        if (const auto* perspective = dynamic_cast<const PerspectiveCamera*>(camera)) {
            setFloat("z_far", perspective->zFar);
            setFloat("z_near", perspective->zNear);
        }
    }
}

unsigned TShader::begin() {
    if (begun || effect == nullptr) {
        return 0;
    }
    lookUp(effect->SetTechnique(technique.c_str()));
    UINT passes = 0;
    lookUp(effect->Begin(&passes, 0));
    begun = true;
    return passes;
}

void TShader::setFloat(ParameterName name, float value) {
    if (effect != nullptr) {
        lookUp(effect->SetFloat(name.c_str(), value));
    }
}

void TShader::setFloat3(ParameterName name, const float* values) {
    if (effect != nullptr && values != nullptr) {
        lookUp(effect->SetFloatArray(name.c_str(), values, 3));
    }
}

void TShader::setInt(ParameterName name, int value) {
    if (effect != nullptr) {
        lookUp(effect->SetInt(name.c_str(), value));
    }
}

void TShader::setBool(ParameterName name, bool value) {
    if (effect != nullptr) {
        lookUp(effect->SetBool(name.c_str(), value ? TRUE : FALSE));
    }
}

void TShader::setVector(ParameterName name, const D3DXVECTOR4& value) {
    if (effect != nullptr) {
        lookUp(effect->SetVector(name.c_str(), &value));
    }
}

void TShader::setVector3(ParameterName name, float x, float y, float z) {
    setVector(name, D3DXVECTOR4(x, y, z, 1.0f));
}

void TShader::setMatrix(ParameterName name, const D3DXMATRIX& value) {
    if (effect != nullptr) {
        lookUp(effect->SetMatrix(name.c_str(), &value));
    }
}

void TShader::setTexture(ParameterName name, ID3dSurface* surface) {
    if (effect != nullptr) {
        lookUp(
            effect->SetTexture(name.c_str(), surface != nullptr ? surface->getTexture() : nullptr));
    }
}

} // namespace velmo
