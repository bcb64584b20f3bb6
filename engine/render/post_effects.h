// Full-screen image effects: each draws an earlier stage's picture through one effect file into
// its own pooled render target, which the next stage reads as a texture. They hold their inputs
// by plain pointer and own none of them; a null input surface is sent as no texture.
//
// Each effect pass draws the full-screen quad with no texture of its own: the effect's shaders
// sample the picture. The quad blends colour as SrcAlpha + One over the freshly cleared target,
// so a target holds the shader's colour multiplied by its alpha (an opaque picture exactly),
// and the effect files write the alpha itself unchanged.
#pragma once

#include "engine/render/shader.h"
#include "engine/scene/renderable.h"

namespace velmo {

class ID3dSurface;

// Shifts the hue of the source renderable's picture by `hue` degrees and scales its
// saturation and value; (0, 1, 1) keeps the picture. Effect "data/HSVEffect.fxo".
class HSVEffect : public BufferRenderable {
public:
    HSVEffect(BufferRenderable* source, float hue, float saturation, float value);
    // Wraps the hue into (-360, 360) by whole turns toward zero (stored back), then draws.
    void renderContent(float t) override;

    BufferRenderable* source;
    float hue;
    float saturation;
    float value;
    TShader shader;
};

// Moves each pixel of the source by the slope of the distortion map's brightness, read
// `timedelta` texture units to either side, times `factor`: a map of even brightness
// (black, mid grey, none at all) leaves the picture as it is. Effect "MappedDistortion.fxo".
class MappedDistortionEffect : public BufferRenderable {
public:
    MappedDistortionEffect(ID3dSurface* source, ID3dSurface* distortionMap, float factor,
                           float timedelta);
    void renderContent(float t) override;

    ID3dSurface* source;
    ID3dSurface* distortionMap;
    float factor;
    TShader shader;
    float timedelta;
};

// The glow of the bright parts of the source's picture, alone, as a layer to be added over
// the picture: pass 0 raises the picture to `power` and blurs it across into an intermediate
// pooled target, pass 1 blurs that down the picture into the effect's own target, scaled by
// `alpha`. `radius` is the blur's reach as a fraction of a tenth of the picture's width
// (1.0 reaches a tenth to each side). Effect "BloomEffect.fxo".
class BloomEffect : public BufferRenderable {
public:
    // The source is the scene whose picture glows (the block-and-house scene in the demo).
    BloomEffect(BufferRenderable* source, float radius, float power, float alpha);
    void renderContent(float t) override;

    BufferRenderable* source;
    float radius;
    float alpha;
    float power;
    TShader shader;
};

// Smears each pixel of `tex` along the velocity in the blur map (red and green around mid
// grey, as a scene writes its blur map) times `radius`, skipping samples that lie in front of
// the pixel by the depth surface; mid grey keeps the picture. Effect
// "MappedBlur.fxo".
class MotionblurEffect : public BufferRenderable {
public:
    MotionblurEffect(ID3dSurface* tex, ID3dSurface* blurMap, ID3dSurface* depthTex, float radius);
    void renderContent(float t) override;

    ID3dSurface* tex;
    ID3dSurface* blurMap;
    ID3dSurface* depthTex;
    float radius;
    TShader shader;
};

} // namespace velmo
