#pragma once

#include <d3d9.h>

namespace velmo {

class ID3dSurface;

// One corner of the full-screen quad: flexible vertex format 0x102 (D3DFVF_XYZ | D3DFVF_TEX1).
struct ScreenVertex {
    float x, y, z;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 20);

// Clears the current render target and depth buffer to a colour.
void clearScreen(unsigned char alpha, unsigned char red, unsigned char green, unsigned char blue);

// Draws a texture over the whole viewport as a blended quad with a global opacity.
//
// The opacity (clamped to 0..1) goes out as the alpha of the texture factor and multiplies the
// texture's own alpha. `enlarge` lets the quad reach that far past the viewport's sides, where
// the viewport spans -1..1, and enlarge / (the letterbox's aspect ratio) past its top and
// bottom. With a null texture, texture stage 0's colour
// operation, texture and the transforms stay as they are and depth writes stay off, so an
// effect pass can draw the quad with its own shaders. Nothing is restored afterwards.
void drawScreenQuad(ID3dSurface* texture, float alpha, float enlarge, D3DBLEND destBlend,
                    D3DBLEND srcBlend);

} // namespace velmo
