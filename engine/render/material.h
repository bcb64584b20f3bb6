// How a mesh instance is shaded: colours, specular power, textures, lighting switches, blend
// mode, and the effect file and technique to draw with. A plain value: copies share the
// textures (which belong to the device state) and own their names.
#pragma once

#include <cstdint>
#include <string>

#include <d3dx9math.h>

namespace velmo {

class Texture;

class Material {
public:
    // Each copies four components (r, g, b, a); a null pointer changes nothing.
    void setAmbient(const float* color);
    void setDiffuse(const float* color);
    void setSpecular(const float* color);

    void setTechnique(std::string name);
    // The stored names, empty by default; whoever draws chooses what an empty name means.
    std::string getTechnique() const;
    std::string getEffectFile() const;

    D3DXVECTOR4 ambient{0.1f, 0.1f, 0.1f, 1.0f};
    D3DXVECTOR4 diffuse{0.2f, 0.2f, 0.2f, 1.0f};
    D3DXVECTOR4 specular{1.0f, 1.0f, 1.0f, 1.0f};
    float specularPower = 5.0f;
    // Any value other than 0 also switches light bleeding on.
    float lightBleed = 0.0f;
    bool receivesDirectionalLight = true;
    // Not owned; null allowed.
    Texture* texture = nullptr;
    Texture* normalMap = nullptr;
    float bumpiness = 1.0f;
    // Lighting on: gates the directional light and all point lights.
    bool lit = true;
    // 1 additive, 2 alpha blending, anything else opaque.
    int32_t blendMode = 0;
    float blendFactor = 1.0f;
    float limitIllumination = 0.0f;
    std::string effectFile;
    std::string techniqueName;
};

} // namespace velmo
