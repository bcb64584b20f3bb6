// Particle sprites: partikle.png (a soft round puff whose colour fades to black with its alpha,
// for the harmonia particles) and smog.jpg (a grey cloudy puff on black: the smoke's coverage
// is its brightness).
#include <cmath>

#include "textures.h"

namespace textures {

Image makePartikle() {
    Image image(64, 64);
    image.fill([](int, int, float u, float v) {
        float dx = (u + 0.5f / 64 - 0.5f) * 2, dy = (v + 0.5f / 64 - 0.5f) * 2;
        float d = std::sqrt(dx * dx + dy * dy);
        float a = std::pow(std::fmax(0.0f, 1 - d), 1.6f);
        return Rgba{a, a * 0.95f, a * 0.9f, a};
    });
    return image;
}

Image makeSmog() {
    Image image(128, 128);
    image.fill([](int x, int y, float u, float v) {
        float dx = (u + 0.5f / 128 - 0.5f) * 2, dy = (v + 0.5f / 128 - 0.5f) * 2;
        float d = std::sqrt(dx * dx + dy * dy);
        float cloud = fbm(x / 32.0f, y / 32.0f, 4, 4, 23);
        float g = smoothstep(1.0f, 0.2f, d + 0.35f * (cloud - 0.5f)) * (0.55f + 0.45f * cloud);
        return Rgba{g, g, g, 1};
    });
    return image;
}

} // namespace textures
