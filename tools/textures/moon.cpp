// moon.jpg and moon_normal.jpg: a seamless grey cratered surface and its tangent-space normal
// map (RGB = n * 0.5 + 0.5, +z out of the surface), both derived from one height field: rolling
// noise with craters (bowls with raised rims) whose distances wrap around the edges.
#include <cmath>
#include <vector>

#include "textures.h"

namespace textures {

namespace {

constexpr int kSize = 512;

std::vector<float> heightField() {
    struct Crater {
        float x, y, r;
    };
    std::vector<Crater> craters;
    for (int i = 0; i < 70; ++i) {
        float size = hash01(i, 3, 17);
        craters.push_back(
            {hash01(i, 1, 17) * kSize, hash01(i, 2, 17) * kSize, 6 + 50 * size * size * size});
    }
    std::vector<float> h(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            float v = 0.6f * fbm(x / 64.0f, y / 64.0f, 6, 8, 5);
            for (const Crater& c : craters) {
                float dx = std::fabs(x - c.x), dy = std::fabs(y - c.y);
                dx = std::fmin(dx, kSize - dx);
                dy = std::fmin(dy, kSize - dy);
                float d = std::sqrt(dx * dx + dy * dy) / c.r;
                if (d > 1.6f)
                    continue;
                float depth = 0.12f * std::sqrt(c.r / 20);
                if (d < 1)
                    v -= depth * (1 - d * d);
                v += 0.35f * depth * std::exp(-(d - 1) * (d - 1) / 0.04f);
            }
            h[y * kSize + x] = v;
        }
    return h;
}

float sample(const std::vector<float>& h, int x, int y) {
    return h[((y + kSize) % kSize) * kSize + (x + kSize) % kSize];
}

// Unit normal of the height field at a pixel (heights scaled to pixels by relief).
void normalAt(const std::vector<float>& h, int x, int y, float relief, float n[3]) {
    float dx = (sample(h, x + 1, y) - sample(h, x - 1, y)) * relief;
    float dy = (sample(h, x, y + 1) - sample(h, x, y - 1)) * relief;
    float len = std::sqrt(dx * dx + dy * dy + 1);
    n[0] = -dx / len;
    n[1] = dy / len;
    n[2] = 1 / len;
}

} // namespace

Image makeMoon() {
    std::vector<float> h = heightField();
    Image image(kSize, kSize);
    image.fill([&](int x, int y, float, float) {
        float n[3];
        normalAt(h, x, y, 40, n);
        // Grazing light from the upper left shows the relief; albedo varies slowly.
        float light = 0.55f + 0.45f * (-0.5f * n[0] + 0.5f * n[1] + 0.7f * n[2]);
        float albedo = 0.45f + 0.35f * fbm(x / 128.0f, y / 128.0f, 4, 4, 9);
        float g = albedo * light;
        return Rgba{g, g, g * 0.97f, 1};
    });
    return image;
}

Image makeMoonNormal() {
    std::vector<float> h = heightField();
    Image image(kSize, kSize);
    image.fill([&](int x, int y, float, float) {
        float n[3];
        normalAt(h, x, y, 40, n);
        return Rgba{n[0] * 0.5f + 0.5f, n[1] * 0.5f + 0.5f, n[2] * 0.5f + 0.5f, 1};
    });
    return image;
}

} // namespace textures
