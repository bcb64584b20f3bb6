// Textures named by the shared models: block.jpg (block1: brushed steel plates with panel seams
// and rivets), langat.jpg (harmonia's strings: fine bright strands along v), chain.jpg (chain:
// dark worn iron) and liberty.jpg (the statue: green copper patina). Each doubles as its
// material's normal map, so all stay mid-toned without hard black.
#include <cmath>

#include "textures.h"

namespace textures {

Image makeBlock() {
    Image image(256, 256);
    image.fill([](int x, int y, float u, float v) {
        float brush = fbm(x / 64.0f, y / 2.0f, 3, 4, 41); // streaks along u
        float g = 0.55f + 0.25f * brush;
        float seamU = std::fabs(u - 0.5f), seamV = std::fmin(v, 1 - v);
        if (seamU < 0.006f || seamV < 0.012f)
            g *= 0.55f;
        for (float ru : {0.08f, 0.42f, 0.58f, 0.92f})
            for (float rv : {0.1f, 0.9f}) {
                float d = std::hypot(u - ru, v - rv) * 256;
                if (d < 5)
                    g = 0.45f + 0.4f * (1 - d / 5);
            }
        return Rgba{g * 0.95f, g * 0.96f, g, 1};
    });
    return image;
}

Image makeLangat() {
    Image image(128, 128);
    image.fill([](int x, int, float u, float) {
        float strand = 0.5f + 0.5f * std::cos(u * 2 * 3.14159265f * 8);
        float sheen = hash01(x, 0, 51);
        float g = 0.45f + 0.45f * strand * (0.7f + 0.3f * sheen);
        return Rgba{g, g * 0.9f, g * 0.65f, 1};
    });
    return image;
}

Image makeChain() {
    Image image(128, 128);
    image.fill([](int x, int y, float, float) {
        float rust = fbm(x / 16.0f, y / 16.0f, 4, 8, 61);
        float g = 0.35f + 0.3f * rust;
        return Rgba{g * (1 + 0.3f * rust), g, g * (0.95f - 0.2f * rust), 1};
    });
    return image;
}

Image makeLiberty() {
    Image image(256, 256);
    image.fill([](int x, int y, float, float) {
        float patina = fbm(x / 32.0f, y / 32.0f, 5, 8, 71);
        float streak = fbm(x / 8.0f, y / 64.0f, 3, 32, 73);
        Rgba green{0.36f, 0.66f, 0.56f, 1}, copper{0.45f, 0.4f, 0.3f, 1};
        Rgba c = mix(green, copper, smoothstep(0.6f, 0.8f, patina));
        float shade = 0.8f + 0.3f * streak;
        return Rgba{c.r * shade, c.g * shade, c.b * shade, 1};
    });
    return image;
}

} // namespace textures
