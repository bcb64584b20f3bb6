// Textures of the intro's models: the dusk sky, the airship's envelope, the town's ground,
// streets, facades and roofs, its cut-outs (trees, railings, signs, billboard, flags; with
// alpha) and its lights (windows, lamp halos, pools of light; black where there is none).
#include "draw.h"
#include "textures.h"

#include <algorithm>
#include <cmath>

namespace textures {

namespace {

// Facade window grid, shared with the lit-window sheet: a cell is 4 units across and 3.5 up;
// its window spans 1..3 across and 0.9..2.7 up from the cell's foot.
struct Cell {
    float width, height; // pixels
    float wx0() const { return width * 0.25f; }
    float wx1() const { return width * 0.75f; }
    float wy0() const { return height * (3.5f - 2.7f) / 3.5f; } // from the cell's top
    float wy1() const { return height * (3.5f - 0.9f) / 3.5f; }
};

// A facade tile of 4 x 4 cells in a wall colour with grain; each window drawn by `window`.
template <class Window> Image facade(Rgba wall, float grain, uint32_t seed, Window window) {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float n =
                1 - grain +
                grain * 2 *
                    fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 16, 4, seed);
            c.at(x, y) = scaled(wall, n);
        }
    Cell cell{64, 64};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            window(c, static_cast<float>(col) * 64, static_cast<float>(row) * 64, cell);
    return c;
}

const Rgba kGlass{0.1f, 0.12f, 0.17f, 1};

} // namespace

Image makeSky() {
    Image c(1024, 512);
    const float sunU = 0.208f; // azimuth of the glow: the direction the town is seen in
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float u = (static_cast<float>(x) + 0.5f) / 1024,
                  v = (static_cast<float>(y) + 0.5f) / 512;
            float lat = 90 - 180 * v; // degrees on the dome
            float du = std::fabs(u - sunU);
            du = std::min(du, 1 - du) * 2; // 0 toward the glow, 1 opposite
            float glow = std::exp(-du * du * 5);
            Rgba zenith{0.02f, 0.03f, 0.1f, 1}, high{0.07f, 0.1f, 0.3f, 1};
            Rgba mid{0.28f, 0.22f, 0.45f, 1},
                low = mix({0.55f, 0.3f, 0.38f, 1}, {1.0f, 0.55f, 0.3f, 1}, glow);
            Rgba haze{0.1f, 0.09f, 0.13f, 1};
            Rgba col;
            if (lat > 40)
                col = mix(high, zenith, smoothstep(40, 90, lat));
            else if (lat > 5)
                col = mix(mid, high, smoothstep(5, 40, lat));
            else if (lat > -18)
                col = mix(low, mid, smoothstep(-18, 5, lat));
            else
                col = mix(haze, low, smoothstep(-32, -18, lat));
            // The sun just set: a warm bloom low over the glow's azimuth.
            float sun = std::exp(-(du * du * 60 + (lat + 16) * (lat + 16) / 60));
            col = mix(col, {1.0f, 0.8f, 0.5f, 1}, 0.8f * sun);
            // Clouds: stretched noise in a band over the horizon, lit from the glow side.
            float n = fbmAt(u, v * 0.5f + 0.3f, 8, 6, 77);
            float band = smoothstep(-22, -10, lat) * (1 - smoothstep(35, 65, lat));
            float cover = smoothstep(0.5f, 0.68f, n) * band;
            float lit = glow * (1 - smoothstep(-15, 40, lat)) * 0.9f + 0.1f;
            Rgba cloud = mix({0.13f, 0.1f, 0.2f, 1}, {1.0f, 0.6f, 0.45f, 1}, lit);
            col = mix(col, cloud, cover * 0.9f);
            // A few stars high up.
            if (lat > 30 && hash01(x, y, 99) > 0.9985f)
                col = mix(col, {0.85f, 0.85f, 1, 1}, (1 - cover) * smoothstep(30, 50, lat));
            c.at(x, y) = col;
        }
    return c;
}

// The airship's skin: u round the hull (0.75 faces the camera), v from nose to tail. Silver
// panels, a red band each side of the lettering, "VELMO" reading from nose to tail.
Image makeMobileEnvelope() {
    Image c(512, 256, {0.78f, 0.79f, 0.83f, 1});
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float seam = std::fmod(static_cast<float>(x), 512.0f / 16) < 2 ? 0.8f : 1.0f;
            float n = 0.92f + 0.08f * fbmAt(static_cast<float>(x) / 512,
                                            static_cast<float>(y) / 256, 8, 3, 5);
            c.at(x, y) = scaled(c.at(x, y), seam * n);
        }
    for (float u : {0.655f, 0.825f})
        fillRect(c, u * 512, 0, u * 512 + 12, 256, {0.75f, 0.08f, 0.06f, 1}, 1);
    // Lettering: glyph "up" runs along +u, the line along +v.
    Image word(static_cast<int>(textWidth("VELMO", 5)) + 2, 36, {0, 0, 0, 0});
    drawText(word, "VELMO", 1, 1, 5, {0.1f, 0.12f, 0.35f, 1});
    float col0 = 0.70f * 512, row0 = 128 - static_cast<float>(word.width()) / 2;
    for (int ty = 0; ty < word.height(); ++ty)
        for (int tx = 0; tx < word.width(); ++tx) {
            Rgba t = word.at(tx, ty);
            blend(c, static_cast<int>(col0) + (word.height() - 1 - ty), static_cast<int>(row0) + tx,
                  t, 1);
        }
    return c;
}

Image makeTownGrass() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float n = fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 4, 6, 61);
            c.at(x, y) = {0.16f + 0.12f * n, 0.2f + 0.16f * n, 0.1f + 0.06f * n, 1};
        }
    return c;
}

Image makeTownLawn() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float n = fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 8, 5, 62);
            float stripe = (x / 64) % 2 ? 1.0f : 0.88f;
            c.at(x, y) = {(0.1f + 0.1f * n) * stripe, (0.3f + 0.2f * n) * stripe,
                          (0.08f + 0.05f * n) * stripe, 1};
        }
    // A gravel path across the lawn.
    fillRect(c, 112, 0, 144, 256, {0.5f, 0.45f, 0.38f, 1}, 3);
    return c;
}

// Asphalt one street wide (u) and 8 units long (v): kerb lines and a dashed centre line.
Image makeTownStreet() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float n = fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 16, 4, 63);
            float g = 0.2f + 0.1f * n;
            c.at(x, y) = {g, g, g * 1.05f, 1};
        }
    fillRect(c, 0, 0, 8, 256, {0.55f, 0.55f, 0.55f, 1}, 1);
    fillRect(c, 248, 0, 256, 256, {0.55f, 0.55f, 0.55f, 1}, 1);
    fillRect(c, 125, 0, 131, 96, {0.85f, 0.82f, 0.6f, 1}, 1);
    return c;
}

// Paving slabs, 4 x 4 to a tile of 6 units.
Image makeTownPavement() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float n = fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 16, 4, 64);
            float joint = (x % 64 < 2 || y % 64 < 2) ? 0.7f : 1.0f;
            float g = (0.4f + 0.12f * n) * joint;
            c.at(x, y) = {g, g * 0.97f, g * 0.92f, 1};
        }
    return c;
}

Image makeTownBrick() {
    return facade({0.5f, 0.25f, 0.18f, 1}, 0.12f, 65, [](Image& c, float x, float y, Cell cell) {
        // Brick courses are drawn as dark joints over the grain.
        for (float r = y; r < y + cell.height; r += 8)
            fillRect(c, x, r, x + cell.width, r + 1, {0.25f, 0.2f, 0.18f, 1}, 0.5f);
        fillRect(c, x + cell.wx0() - 3, y + cell.wy0() - 5, x + cell.wx1() + 3, y + cell.wy0(),
                 {0.6f, 0.58f, 0.52f, 1}, 0.8f); // lintel
        fillRect(c, x + cell.wx0(), y + cell.wy0(), x + cell.wx1(), y + cell.wy1(), kGlass, 0.8f);
        fillRect(c, x + cell.wx0() - 2, y + cell.wy1(), x + cell.wx1() + 2, y + cell.wy1() + 3,
                 {0.65f, 0.62f, 0.55f, 1}, 0.8f); // sill
    });
}

Image makeTownOffice() {
    return facade({0.5f, 0.52f, 0.55f, 1}, 0.06f, 66, [](Image& c, float x, float y, Cell cell) {
        fillRect(c, x, y + cell.wy0() - 3, x + cell.width, y + cell.wy1() + 3,
                 {0.3f, 0.32f, 0.36f, 1}, 0.8f);
        fillRect(c, x + 3, y + cell.wy0(), x + cell.width - 3, y + cell.wy1(),
                 {0.14f, 0.18f, 0.26f, 1}, 0.8f);
        fillRect(c, x + cell.width / 2 - 1, y + cell.wy0(), x + cell.width / 2 + 1, y + cell.wy1(),
                 {0.35f, 0.37f, 0.4f, 1}, 0.5f);
    });
}

Image makeTownPlaster() {
    return facade({0.72f, 0.6f, 0.38f, 1}, 0.08f, 67, [](Image& c, float x, float y, Cell cell) {
        float w = cell.wx1() - cell.wx0();
        fillRect(c, x + cell.wx0() - w * 0.3f, y + cell.wy0(), x + cell.wx0() - 1, y + cell.wy1(),
                 {0.2f, 0.35f, 0.3f, 1}, 0.8f); // shutters
        fillRect(c, x + cell.wx1() + 1, y + cell.wy0(), x + cell.wx1() + w * 0.3f, y + cell.wy1(),
                 {0.2f, 0.35f, 0.3f, 1}, 0.8f);
        fillRect(c, x + cell.wx0() - 1, y + cell.wy0() - 1, x + cell.wx1() + 1, y + cell.wy1() + 1,
                 {0.92f, 0.9f, 0.85f, 1}, 0.8f);
        fillRect(c, x + cell.wx0() + 2, y + cell.wy0() + 2, x + cell.wx1() - 2, y + cell.wy1() - 2,
                 kGlass, 0.8f);
    });
}

Image makeTownRoof() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float n = fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 32, 3, 68);
            float g = 0.28f + 0.15f * n;
            c.at(x, y) = {g, g, g * 0.95f, 1};
        }
    return c;
}

Image makeTownTiles() {
    Image c(256, 256);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            float within = static_cast<float>(y % 32) / 32;
            float n = 0.85f + 0.15f * noiseAt(static_cast<float>(x / 32) / 8,
                                              static_cast<float>(y / 32) / 8, 8, 69);
            float s = (0.55f + 0.45f * within) * n;
            c.at(x, y) = {0.45f * s, 0.16f * s, 0.12f * s, 1};
        }
    return c;
}

// A broad-leaved tree: a trunk and a crown of overlapping leafy blobs, cut out by alpha.
Image makeTownTree() {
    Image c(256, 256, {0.05f, 0.08f, 0.04f, 0});
    fillRect(c, 120, 150, 136, 256, {0.18f, 0.13f, 0.09f, 1}, 1.5f);
    const float blobs[][3] = {{128, 90, 60}, {85, 110, 42},  {170, 110, 44}, {100, 60, 40},
                              {155, 55, 42}, {128, 130, 40}, {65, 135, 28},  {192, 138, 28}};
    for (const auto& b : blobs)
        fillDisc(c, b[0], b[1], b[2], {0.1f, 0.2f, 0.08f, 1}, 2);
    // Leafy edge and light: holes and speckles from noise.
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            Rgba& p = c.at(x, y);
            if (y > 150 && x > 118 && x < 138)
                continue; // trunk
            float n = fbmAt(static_cast<float>(x) / 256, static_cast<float>(y) / 256, 16, 3, 70);
            p.a *= smoothstep(0.3f, 0.45f, n + (p.a - 0.5f) * 0.6f);
            float shade = 0.7f + 0.6f * n * (1 - static_cast<float>(y) / 256);
            p = {p.r * shade, p.g * shade, p.b * shade, p.a};
        }
    return c;
}

// A conifer: stacked triangles of dark needles.
Image makeTownConifer() {
    Image c(128, 256, {0.04f, 0.1f, 0.06f, 0});
    fillRect(c, 58, 220, 70, 256, {0.16f, 0.11f, 0.08f, 1}, 1);
    for (int y = 0; y < 232; ++y)
        for (int x = 0; x < c.width(); ++x) {
            float t = static_cast<float>(y) / 232;
            float layer = std::fmod(t * 5, 1.0f);
            float half = (12 + 50 * t) * (0.6f + 0.4f * layer);
            float d = std::fabs(static_cast<float>(x) + 0.5f - 64);
            float n = fbmAt(static_cast<float>(x) / 128, static_cast<float>(y) / 256, 16, 3, 71);
            float a = std::clamp((half - d) / 2 + (n - 0.5f) * 4, 0.0f, 1.0f);
            float s = 0.7f + 0.5f * n;
            blend(c, x, y, {0.05f * s, 0.16f * s, 0.08f * s, 1}, a);
        }
    return c;
}

// Iron railings 2 units wide, 1.3 high: top and bottom rails, bars with spear tips.
Image makeTownFence() {
    Image c(128, 64, {0.08f, 0.08f, 0.09f, 0});
    Rgba iron{0.12f, 0.12f, 0.13f, 1};
    fillRect(c, 0, 10, 128, 14, iron, 0.8f);
    fillRect(c, 0, 54, 128, 58, iron, 0.8f);
    for (float x = 4; x < 128; x += 16) {
        fillRect(c, x, 4, x + 3, 64, iron, 0.8f);
        fillDisc(c, x + 1.5f, 4, 3, iron, 0.8f);
    }
    return c;
}

// Four shop signs, 2 x 2: boards with a frame and glowing block letters.
Image makeTownSigns() {
    Image c(512, 256, {0, 0, 0, 0});
    const struct {
        const char* word;
        Rgba board, letters;
    } signs[4] = {{"CAFE", {0.25f, 0.08f, 0.06f, 1}, {1.0f, 0.85f, 0.5f, 1}},
                  {"HOTEL", {0.05f, 0.08f, 0.22f, 1}, {0.6f, 0.85f, 1.0f, 1}},
                  {"BAR", {0.08f, 0.06f, 0.08f, 1}, {1.0f, 0.35f, 0.6f, 1}},
                  {"KINO", {0.3f, 0.22f, 0.04f, 1}, {1.0f, 0.95f, 0.8f, 1}}};
    for (int k = 0; k < 4; ++k) {
        float x = static_cast<float>(k % 2) * 256, y = static_cast<float>(k / 2) * 128;
        fillRect(c, x + 6, y + 14, x + 250, y + 114, {0.75f, 0.7f, 0.6f, 1}, 1.5f);
        fillRect(c, x + 12, y + 20, x + 244, y + 108, signs[k].board, 1.5f);
        float dot = 8;
        float w = textWidth(signs[k].word, dot);
        drawText(c, signs[k].word, x + 128 - w / 2, y + 64 - 3.5f * dot, dot, signs[k].letters);
    }
    return c;
}

// The billboard on the skyline: the event and its year.
Image makeTownBillboard() {
    Image c(512, 256, {0, 0, 0, 0});
    fillRect(c, 4, 8, 508, 248, {0.2f, 0.2f, 0.22f, 1}, 1.5f);
    for (int y = 16; y < 240; ++y) {
        float t = static_cast<float>(y - 16) / 224;
        fillRect(c, 12, static_cast<float>(y), 500, static_cast<float>(y + 1),
                 mix({0.95f, 0.45f, 0.2f, 1}, {0.55f, 0.1f, 0.35f, 1}, t), 0.5f);
    }
    float dot = 14, w = textWidth("VELMO", dot);
    drawText(c, "VELMO", 256 - w / 2, 36, dot, {1, 0.97f, 0.9f, 1});
    dot = 9;
    w = textWidth("2008", dot);
    drawText(c, "2008", 256 - w / 2, 160, dot, {0.15f, 0.05f, 0.15f, 1});
    return c;
}

// Strings of pennants: 4 units of string to a tile, four pennants in turning colours.
Image makeTownFlags() {
    Image c(256, 128, {0, 0, 0, 0});
    const Rgba colours[4] = {{0.9f, 0.15f, 0.1f, 1},
                             {0.95f, 0.8f, 0.1f, 1},
                             {0.1f, 0.45f, 0.9f, 1},
                             {0.15f, 0.75f, 0.3f, 1}};
    for (int k = 0; k < 4; ++k) {
        float x0 = static_cast<float>(k) * 64 + 6, x1 = x0 + 52;
        for (int y = 8; y < 100; ++y)
            for (int x = static_cast<int>(x0); x < static_cast<int>(x1); ++x) {
                float t = static_cast<float>(y - 8) / 92;
                float half = (x1 - x0) / 2 * (1 - t);
                float d = std::fabs(static_cast<float>(x) + 0.5f - (x0 + x1) / 2);
                blend(c, x, y, colours[k], std::clamp(half - d + 0.5f, 0.0f, 1.0f));
            }
    }
    fillRect(c, 0, 4, 256, 9, {0.15f, 0.15f, 0.15f, 1}, 0.8f);
    return c;
}

// Lit windows on the facades' grid, 8 x 8 cells: about a third lit, warm or television-blue.
Image makeValotWindows() {
    Image c(256, 256, {0, 0, 0, 1});
    Cell cell{32, 32};
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 8; ++col) {
            float r = hash01(col, row, 81), hue = hash01(col, row, 82);
            if (r < 0.6f)
                continue;
            Rgba light = hue < 0.2f ? Rgba{0.35f, 0.5f, 0.9f, 1}
                                    : mix({1.0f, 0.6f, 0.25f, 1}, {1.0f, 0.85f, 0.5f, 1}, hue);
            float x = static_cast<float>(col) * 32, y = static_cast<float>(row) * 32;
            fillRect(c, x + cell.wx0() + 1, y + cell.wy0() + 1, x + cell.wx1() - 1,
                     y + cell.wy1() - 1, scaled(light, 0.85f), 1.5f);
        }
    return c;
}

namespace {

Image radial(float core, float falloff, Rgba colour) {
    Image c(128, 128, {0, 0, 0, 1});
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            float d =
                std::hypot(static_cast<float>(x) + 0.5f - 64, static_cast<float>(y) + 0.5f - 64) /
                64;
            float i = std::exp(-d * d * falloff) * (1 - smoothstep(0.8f, 1.0f, d)) +
                      core * std::exp(-d * d * 60);
            c.at(x, y) = {colour.r * i, colour.g * i, colour.b * i, 1};
        }
    return c;
}

} // namespace

Image makeValotHalo() {
    return radial(0.8f, 6, {1.0f, 0.75f, 0.4f, 1});
}

Image makeValotPool() {
    return radial(0, 3, {0.45f, 0.33f, 0.18f, 1});
}

} // namespace textures
