// Drawing on images for the texture functions: blending with coverage, soft-edged rectangles
// and discs, a 5 x 7 block alphabet, and noise addressed over the unit square of a picture.
#pragma once

#include <string>

#include "image.h"

namespace textures {

// c with its colour scaled by s, alpha kept.
Rgba scaled(Rgba c, float s);
// Blends c over the pixel with coverage t (0..1, times c's alpha); outside the image nothing.
void blend(Image& image, int x, int y, Rgba c, float t);
// An axis-aligned rectangle in pixels, its edges softened over `soft` pixels.
void fillRect(Image& image, float x0, float y0, float x1, float y1, Rgba c, float soft = 1);
// A disc, its edge softened over `soft` pixels.
void fillDisc(Image& image, float cx, float cy, float r, Rgba c, float soft = 1);
// Text in the block alphabet (capitals and a few digits), each dot `dot` pixels, from the left
// edge x and the top y; other characters leave a space.
void drawText(Image& image, const std::string& s, float x, float y, float dot, Rgba c);
// Width in pixels of drawText's text at the given dot size.
float textWidth(const std::string& s, float dot);

// Value noise and its octaves at (u, v) in [0, 1), on a lattice of `cells` x `cells` cells
// that tiles the unit square.
inline float noiseAt(float u, float v, int cells, uint32_t seed) {
    return valueNoise(u * static_cast<float>(cells), v * static_cast<float>(cells), cells, seed);
}
inline float fbmAt(float u, float v, int cells, int octaves, uint32_t seed) {
    return fbm(u * static_cast<float>(cells), v * static_cast<float>(cells), octaves, cells, seed);
}

} // namespace textures
