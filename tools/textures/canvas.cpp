#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace textures {

Rgba mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Rgba scaled(Rgba c, float s) {
    return {c.r * s, c.g * s, c.b * s, c.a};
}

Canvas::Canvas(int w, int h, Rgba fill)
    : width(w), height(h), px(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

void Canvas::blend(int x, int y, Rgba c, float t) {
    if (x < 0 || y < 0 || x >= width || y >= height || t <= 0)
        return;
    Rgba& d = at(x, y);
    float k = std::clamp(t * c.a, 0.0f, 1.0f);
    float alpha = k + d.a * (1 - k);
    d = {d.r + (c.r - d.r) * k, d.g + (c.g - d.g) * k, d.b + (c.b - d.b) * k, alpha};
}

void Canvas::rect(float x0, float y0, float x1, float y1, Rgba c, float soft) {
    for (int y = std::max(0, static_cast<int>(y0 - soft));
         y < std::min(height, static_cast<int>(y1 + soft) + 1); ++y)
        for (int x = std::max(0, static_cast<int>(x0 - soft));
             x < std::min(width, static_cast<int>(x1 + soft) + 1); ++x) {
            float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            float inside = std::min({px - x0, x1 - px, py - y0, y1 - py});
            blend(x, y, c, std::clamp(inside / soft + 0.5f, 0.0f, 1.0f));
        }
}

void Canvas::disc(float cx, float cy, float r, Rgba c, float soft) {
    for (int y = std::max(0, static_cast<int>(cy - r - soft));
         y < std::min(height, static_cast<int>(cy + r + soft) + 1); ++y)
        for (int x = std::max(0, static_cast<int>(cx - r - soft));
             x < std::min(width, static_cast<int>(cx + r + soft) + 1); ++x) {
            float d =
                std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
            blend(x, y, c, std::clamp((r - d) / soft + 0.5f, 0.0f, 1.0f));
        }
}

float hashed(int x, int y, uint32_t seed);

namespace {

// The block alphabet: 5 columns x 7 rows, a row per string, '#' set.
struct Glyph {
    char c;
    const char* rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
};

const Glyph* glyphOf(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

float lattice(int x, int y, int cells, uint32_t seed) {
    return hashed(((x % cells) + cells) % cells, ((y % cells) + cells) % cells, seed);
}

} // namespace

float hashed(int x, int y, uint32_t seed) {
    return static_cast<float>(hash(static_cast<uint32_t>(x) * 73856093u ^
                                   static_cast<uint32_t>(y) * 19349663u ^ seed * 83492791u) &
                              0xffffff) /
           16777215.0f;
}

float textWidth(const std::string& s, float dot) {
    return static_cast<float>(s.size()) * 6 * dot - dot;
}

void Canvas::text(const std::string& s, float x, float y, float dot, Rgba c) {
    for (char ch : s) {
        if (const Glyph* g = glyphOf(ch))
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row][col] == '#')
                        rect(x + static_cast<float>(col) * dot, y + static_cast<float>(row) * dot,
                             x + static_cast<float>(col + 1) * dot,
                             y + static_cast<float>(row + 1) * dot, c, 1);
        x += 6 * dot;
    }
}

std::vector<uint8_t> Canvas::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(px.size() * 4);
    auto byte = [](float v) {
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
    };
    for (const Rgba& p : px) {
        out.push_back(byte(p.r));
        out.push_back(byte(p.g));
        out.push_back(byte(p.b));
        out.push_back(byte(p.a));
    }
    return out;
}

float noise(float u, float v, int cells, uint32_t seed) {
    float x = u * static_cast<float>(cells), y = v * static_cast<float>(cells);
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float a = lattice(x0, y0, cells, seed), b = lattice(x0 + 1, y0, cells, seed);
    float c = lattice(x0, y0 + 1, cells, seed), d = lattice(x0 + 1, y0 + 1, cells, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float fbm(float u, float v, int cells, int octaves, uint32_t seed) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += noise(u, v, cells << o, seed + static_cast<uint32_t>(o)) * amplitude;
        total += amplitude;
        amplitude *= 0.5f;
    }
    return sum / total;
}

} // namespace textures
