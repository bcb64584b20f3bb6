// Textures of the block-and-house scene's models: the stone of the round tower (the part the
// scene flickers against another picture), the plastered walls with their windows, the roof
// tiles, the copper of the spire and the grass of the ground.
#include "draw.h"
#include "textures.h"

#include <algorithm>
#include <cmath>

namespace textures {

// 6.5 units round (a third of the tower) by 16.9 up: courses of dressed stone, three narrow
// arched windows one above the other, a darker cornice at the top.
Image makeTaloTower() {
    Image c(256, 512);
    const float course = 15, block = 36;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            int row = static_cast<int>(static_cast<float>(y) / course);
            float shift = (row % 2) * block / 2;
            int col = static_cast<int>((static_cast<float>(x) + shift) / block);
            float u = static_cast<float>(x) / 256, v = static_cast<float>(y) / 512;
            float tone = 0.78f + 0.22f * noiseAt(static_cast<float>(col) / 8,
                                                 static_cast<float>(row) / 64, 64, 11);
            float grain = 0.85f + 0.3f * fbmAt(u, v, 16, 4, 12);
            float mx = std::fmod(static_cast<float>(x) + shift, block),
                  my = std::fmod(static_cast<float>(y), course);
            bool mortar = mx < 2 || my < 2;
            Rgba stone{0.26f * tone * grain, 0.23f * tone * grain, 0.2f * tone * grain, 1};
            c.at(x, y) = mortar ? Rgba{0.1f, 0.09f, 0.09f, 1} : stone;
        }
    // Cornice and foot.
    fillRect(c, 0, 0, 256, 14, {0.2f, 0.19f, 0.18f, 1}, 1);
    fillRect(c, 0, 492, 256, 512, {0.22f, 0.2f, 0.18f, 1}, 1);
    for (float top : {70.0f, 190.0f, 330.0f}) {
        fillRect(c, 110, top - 4, 146, top + 70, {0.2f, 0.18f, 0.16f, 1}, 1.5f); // surround
        fillDisc(c, 128, top + 4, 18, {0.2f, 0.18f, 0.16f, 1}, 1.5f);
        fillRect(c, 116, top + 4, 140, top + 66, {0.9f, 0.75f, 0.35f, 1}, 1.5f); // lit glass
        fillDisc(c, 128, top + 4, 12, {0.9f, 0.75f, 0.35f, 1}, 1.5f);
        fillRect(c, 127, top - 8, 129, top + 66, {0.15f, 0.12f, 0.1f, 1}, 0.8f); // mullion
    }
    return c;
}

// One tile of wall 4 x 4 units: warm plaster with one window, its frame and sill.
Image makeTaloWalls() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float u = static_cast<float>(x) / 256, v = static_cast<float>(y) / 256;
            float n = 0.85f + 0.15f * fbmAt(u, v, 8, 5, 21);
            c.at(x, y) = {0.82f * n, 0.74f * n, 0.6f * n, 1};
        }
    const float x0 = 83, x1 = 173, y0 = 70, y1 = 186;                         // 1.4 x 1.8 units
    fillRect(c, x0 - 8, y0 - 8, x1 + 8, y1 + 6, {0.95f, 0.93f, 0.88f, 1}, 1); // frame
    fillRect(c, x0, y0, x1, y1, {0.12f, 0.16f, 0.24f, 1}, 1);                 // glass
    fillRect(c, x0 + 4, y0 + 4, x1 - 4, (y0 + y1) / 2 - 2, {0.2f, 0.27f, 0.38f, 1},
             6);                                                // sky reflection
    fillRect(c, 126, y0, 130, y1, {0.95f, 0.93f, 0.88f, 1}, 1); // cross bars
    fillRect(c, x0, 124, x1, 128, {0.95f, 0.93f, 0.88f, 1}, 1);
    fillRect(c, x0 - 14, y1 + 6, x1 + 14, y1 + 16, {0.7f, 0.68f, 0.64f, 1}, 1); // sill
    return c;
}

// Roof tiles 3 x 3 units, rows along the ridge.
Image makeTaloRoof() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            int row = y / 32;
            float shift = static_cast<float>(row % 2) * 16;
            int col = static_cast<int>((static_cast<float>(x) + shift) / 32);
            float within = static_cast<float>(y % 32) / 32;
            float tone = 0.8f + 0.2f * noiseAt(static_cast<float>(col) / 8,
                                               static_cast<float>(row) / 8, 8, 31);
            float edge = std::fmod(static_cast<float>(x) + shift, 32.0f);
            float shade = (0.55f + 0.45f * within) * (edge < 2 ? 0.6f : 1.0f);
            c.at(x, y) = {0.55f * tone * shade, 0.2f * tone * shade, 0.14f * tone * shade, 1};
        }
    return c;
}

// Green copper with standing seams, for the spire.
Image makeTaloSpire() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float u = static_cast<float>(x) / 256, v = static_cast<float>(y) / 256;
            float n = 0.75f + 0.25f * fbmAt(u, v, 8, 5, 41);
            float seam = std::fmod(static_cast<float>(x), 32.0f) < 3 ? 0.65f : 1.0f;
            c.at(x, y) = {0.22f * n * seam, 0.48f * n * seam, 0.42f * n * seam, 1};
        }
    return c;
}

// Grass under the house.
Image makeTalomaa() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float u = static_cast<float>(x) / 256, v = static_cast<float>(y) / 256;
            float n = fbmAt(u, v, 8, 6, 51);
            c.at(x, y) = {0.12f + 0.1f * n, 0.28f + 0.2f * n, 0.08f + 0.06f * n, 1};
        }
    return c;
}

} // namespace textures
