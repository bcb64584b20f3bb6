// Pictures the scenes load by name: pum.jpg (loaded, never shown: a small orange disc) and
// sali2.jpg (the hall picture that flickers over the house's round tower in the intense
// spans: warm gold arches on deep red, unlike the tower's own pale stone).
#include <cmath>

#include "textures.h"

namespace textures {

Image makePum() {
    Image image(64, 64);
    image.fill([](int, int, float u, float v) {
        float d = std::hypot(u - 0.5f, v - 0.5f);
        return d < 0.4f ? Rgba{1, 0.55f, 0.1f, 1} : Rgba{0.1f, 0.05f, 0.2f, 1};
    });
    return image;
}

Image makeSali2() {
    Image image(256, 256);
    const Rgba red{0.45f, 0.04f, 0.06f, 1}, gold{1.0f, 0.78f, 0.3f, 1};
    image.fill([&](int x, int y, float u, float v) {
        // Four arches across, each a gold outline over a darker niche.
        float cell = u * 4 - std::floor(u * 4);
        float cx = (cell - 0.5f) * 2; // -1..1 across the arch
        float top = 0.35f;            // the arch springs here (image v)
        float inside = v > top ? std::fabs(cx) : std::hypot(cx, (v - top) * 5.0f);
        float line = smoothstep(0.06f, 0.0f, std::fabs(inside - 0.8f));
        float noise = fbm(x / 16.0f, y / 16.0f, 3, 16, 31);
        Rgba base = mix(red, Rgba{0.2f, 0.02f, 0.04f, 1}, inside < 0.8f ? 0.6f : 0.0f);
        base = mix(base, gold, line);
        float shade = 0.8f + 0.4f * noise;
        return Rgba{base.r * shade, base.g * shade, base.b * shade, 1};
    });
    return image;
}

} // namespace textures
