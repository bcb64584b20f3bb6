// A picture drawn in code, and drawing aids for the texture generators: soft-edged
// rectangles and discs, a 5 x 7 block alphabet, hashes and tileable value noise. Colours are
// floats 0..1 with alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textures {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};
Rgba mix(Rgba a, Rgba b, float t);
Rgba scaled(Rgba c, float s); // rgb scaled, alpha kept

struct Canvas {
    int width, height;
    std::vector<Rgba> px;
    Canvas(int w, int h, Rgba fill = {});
    Rgba& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
    // Blends c over the pixel with coverage t (0..1), alpha included.
    void blend(int x, int y, Rgba c, float t);
    // An axis-aligned rectangle in pixels with edges softened over `soft` pixels.
    void rect(float x0, float y0, float x1, float y1, Rgba c, float soft = 1);
    // A filled disc, edge softened over `soft` pixels.
    void disc(float cx, float cy, float r, Rgba c, float soft = 1);
    // Text in the block alphabet, each dot `dot` pixels, left edge x, top y; letters not in the
    // alphabet leave a space.
    void text(const std::string& s, float x, float y, float dot, Rgba c);
    // 8-bit RGBA, rows top to bottom.
    std::vector<uint8_t> bytes() const;
};

// Width in pixels of text() at the given dot size.
float textWidth(const std::string& s, float dot);

// A hash of an integer lattice point to 0..1.
float hashed(int x, int y, uint32_t seed);

// Value noise on a lattice of `cells` x `cells` per unit square, tileable over the unit
// square; fbm sums `octaves` of it at doubling frequency and halving amplitude, in 0..1.
float noise(float u, float v, int cells, uint32_t seed);
float fbm(float u, float v, int cells, int octaves, uint32_t seed);

} // namespace textures
