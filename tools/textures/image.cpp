#include "image.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace textures {

Rgba mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Image::Image(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void writeImage(const Image& image, const std::string& path) {
    bool png = path.size() > 4 && path.substr(path.size() - 4) == ".png";
    int channels = png ? 4 : 3;
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(image.width()) * image.height() * channels);
    auto byte = [](float v) {
        return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgba& p = image.at(x, y);
            bytes.push_back(byte(p.r));
            bytes.push_back(byte(p.g));
            bytes.push_back(byte(p.b));
            if (png)
                bytes.push_back(byte(p.a));
        }
    int ok = png ? stbi_write_png(path.c_str(), image.width(), image.height(), 4, bytes.data(),
                                  image.width() * 4)
                 : stbi_write_jpg(path.c_str(), image.width(), image.height(), 3, bytes.data(), 92);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

float hash01(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

float valueNoise(float x, float y, int period, uint32_t seed) {
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    float fx = x - x0, fy = y - y0;
    auto wrap = [period](int v) { return ((v % period) + period) % period; };
    auto corner = [&](int dx, int dy) { return hash01(wrap(x0 + dx), wrap(y0 + dy), seed); };
    float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    float top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * sx;
    float bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * sx;
    return top + (bottom - top) * sy;
}

float fbm(float x, float y, int octaves, int period, uint32_t seed) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise(x, y, period, seed + static_cast<uint32_t>(o) * 101u);
        total += amplitude;
        x *= 2;
        y *= 2;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / total;
}

float smoothstep(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

} // namespace textures
