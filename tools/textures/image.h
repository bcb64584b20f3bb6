// Pictures for the texture tool: a floating-point RGBA image written as JPEG (RGB, quality 92)
// or PNG (RGBA) by stb_image_write, chosen by the file name's extension, and the tileable noise
// the textures are made of. Everything is a pure function of its arguments, so the files come
// out byte for byte the same on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textures {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba mix(Rgba a, Rgba b, float t);

class Image {
public:
    Image(int width, int height, Rgba fill = {});
    int width() const { return width_; }
    int height() const { return height_; }
    Rgba& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const Rgba& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // Calls f(x, y, u, v) for every pixel, u and v in [0, 1) at its top-left corner.
    template <class F> void fill(F f) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                at(x, y) = f(x, y, static_cast<float>(x) / width_, static_cast<float>(y) / height_);
    }

private:
    int width_, height_;
    std::vector<Rgba> pixels_;
};

// Writes image to path as JPEG (".jpg") or PNG (".png"); throws std::runtime_error on failure.
void writeImage(const Image& image, const std::string& path);

// A hash of integer coordinates and a seed, uniform in [0, 1).
float hash01(int x, int y, uint32_t seed);
// Smooth value noise in [0, 1) that repeats every period units in x and y.
float valueNoise(float x, float y, int period, uint32_t seed);
// Sum of octaves of value noise (period doubling, amplitude halving), in [0, 1); tiles with
// period at the lowest octave.
float fbm(float x, float y, int octaves, int period, uint32_t seed);
float smoothstep(float e0, float e1, float x);

} // namespace textures
