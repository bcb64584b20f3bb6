#include "engine/render/material.h"

#include <utility>

namespace velmo {

namespace {

void copyColor(D3DXVECTOR4& out, const float* color) {
    if (color != nullptr) {
        out = D3DXVECTOR4(color);
    }
}

} // namespace

void Material::setAmbient(const float* color) {
    copyColor(ambient, color);
}

void Material::setDiffuse(const float* color) {
    copyColor(diffuse, color);
}

void Material::setSpecular(const float* color) {
    copyColor(specular, color);
}

void Material::setTechnique(std::string name) {
    techniqueName = std::move(name);
}

std::string Material::getTechnique() const {
    return techniqueName;
}

std::string Material::getEffectFile() const {
    return effectFile;
}

} // namespace velmo
