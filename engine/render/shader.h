// One effect from the effect cache and the technique to draw it with. Parameters are set by
// name; a name the effect lacks fails quietly, so one parameter set serves every effect.
#pragma once

#include <string>

#include <d3dx9.h>

namespace velmo {

class ID3dSurface;
class Scene;

// A parameter name as the effect takes it, from a string literal or a std::string without a
// copy; it must outlive the call it is passed to.
class ParameterName {
public:
    ParameterName(const char* text) : text(text) {}
    ParameterName(const std::string& text) : text(text.c_str()) {}
    const char* c_str() const { return text; }

private:
    const char* text;
};

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

    void setFloat(ParameterName name, float value);
    void setFloat3(ParameterName name, const float* values);
    void setInt(ParameterName name, int value);
    void setBool(ParameterName name, bool value);
    void setVector(ParameterName name, const D3DXVECTOR4& value);
    // Sent as (x, y, z, 1).
    void setVector3(ParameterName name, float x, float y, float z);
    void setMatrix(ParameterName name, const D3DXMATRIX& value);
    // A null surface clears the parameter.
    void setTexture(ParameterName name, ID3dSurface* surface);

    std::string technique;
    // Null when the file could not be read or its effect not made; then every call does
    // nothing (the file cache has already told the user about a missing file).
    ID3DXEffect* effect = nullptr;
    bool begun = false;

private:
    void sendSceneParameters(Scene* scene);
};

} // namespace velmo
