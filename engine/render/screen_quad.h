#pragma once

#include <d3d9.h>

namespace velmo {

class ID3dSurface;

// Clears the current render target and depth buffer to a colour.
void clearScreen(unsigned char alpha, unsigned char red, unsigned char green, unsigned char blue);

// Draws a texture over the whole viewport as a blended quad with a global opacity.
void drawScreenQuad(ID3dSurface* texture, float alpha, float enlarge, D3DBLEND destBlend,
                    D3DBLEND srcBlend);

} // namespace velmo
