// One effect from the effect cache and the technique to draw it with. Parameters are set by
// name; a name the effect lacks fails quietly, so one parameter set serves every effect.
#pragma once

#include <string>

#include <d3dx9.h>

namespace velmo {

class ID3dSurface;
class Scene;

class TShader {
public:
    // The effect of that file from the effect cache (made on first use).
    TShader(std::string fileName, const std::string& technique);
    // The same, then, for a scene, the parameters all objects of the scene share: "deltaTime",
    // "time", "depthTex", and with a camera "viewProjection", "projection", "projectionInv",
    // and for a perspective camera "z_far" and "z_near".
    TShader(std::string fileName, const std::string& technique, Scene* scene);
    // Ends the effect when begin started it; the effect itself belongs to the cache.
    virtual ~TShader();
    TShader(const TShader&) = delete;
    TShader& operator=(const TShader&) = delete;

    // Selects the technique and begins the effect, returning its pass count; 0 and nothing
    // done when already begun. Passes are begun and ended by the caller.
    unsigned begin();

    void setFloat(const std::string& name, float value);
    void setFloat3(const std::string& name, const float* values);
    void setInt(const std::string& name, int value);
    void setBool(const std::string& name, bool value);
    void setVector(const std::string& name, const D3DXVECTOR4& value);
    // Sent as (x, y, z, 1).
    void setVector3(const std::string& name, float x, float y, float z);
    void setMatrix(const std::string& name, const D3DXMATRIX& value);
    // A null surface clears the parameter.
    void setTexture(const std::string& name, ID3dSurface* surface);

    std::string technique;
    // Null when the file could not be read or its effect not made; then every call does
    // nothing (the file cache has already told the user about a missing file).
    ID3DXEffect* effect = nullptr;
    bool begun = false;

private:
    void sendSceneParameters(Scene* scene);
};

} // namespace velmo
