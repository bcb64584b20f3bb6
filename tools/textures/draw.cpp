#include "draw.h"

#include <algorithm>
#include <cmath>

namespace textures {

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

} // namespace

Rgba scaled(Rgba c, float s) {
    return {c.r * s, c.g * s, c.b * s, c.a};
}

void blend(Image& image, int x, int y, Rgba c, float t) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height() || t <= 0)
        return;
    Rgba& d = image.at(x, y);
    float k = std::clamp(t * c.a, 0.0f, 1.0f);
    d = {d.r + (c.r - d.r) * k, d.g + (c.g - d.g) * k, d.b + (c.b - d.b) * k, k + d.a * (1 - k)};
}

void fillRect(Image& image, float x0, float y0, float x1, float y1, Rgba c, float soft) {
    int ya = std::max(0, static_cast<int>(y0 - soft)),
        yb = std::min(image.height(), static_cast<int>(y1 + soft) + 1);
    int xa = std::max(0, static_cast<int>(x0 - soft)),
        xb = std::min(image.width(), static_cast<int>(x1 + soft) + 1);
    for (int y = ya; y < yb; ++y)
        for (int x = xa; x < xb; ++x) {
            float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            float inside = std::min({px - x0, x1 - px, py - y0, y1 - py});
            blend(image, x, y, c, std::clamp(inside / soft + 0.5f, 0.0f, 1.0f));
        }
}

void fillDisc(Image& image, float cx, float cy, float r, Rgba c, float soft) {
    int ya = std::max(0, static_cast<int>(cy - r - soft)),
        yb = std::min(image.height(), static_cast<int>(cy + r + soft) + 1);
    int xa = std::max(0, static_cast<int>(cx - r - soft)),
        xb = std::min(image.width(), static_cast<int>(cx + r + soft) + 1);
    for (int y = ya; y < yb; ++y)
        for (int x = xa; x < xb; ++x) {
            float d =
                std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
            blend(image, x, y, c, std::clamp((r - d) / soft + 0.5f, 0.0f, 1.0f));
        }
}

void drawText(Image& image, const std::string& s, float x, float y, float dot, Rgba c) {
    for (char ch : s) {
        if (const Glyph* g = glyphOf(ch))
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row][col] == '#')
                        fillRect(image, x + static_cast<float>(col) * dot,
                                 y + static_cast<float>(row) * dot,
                                 x + static_cast<float>(col + 1) * dot,
                                 y + static_cast<float>(row + 1) * dot, c);
        x += 6 * dot;
    }
}

float textWidth(const std::string& s, float dot) {
    return static_cast<float>(s.size()) * 6 * dot - dot;
}

} // namespace textures
