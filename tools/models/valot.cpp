// valot.x: the lights of the intro's town, drawn added to the picture: lit windows over the
// facades ("valo01"), the glowing heads of the street lamps ("valo02") and the pools of light
// under them ("valo03"). The scene gives this model the town's placement, so it is written in
// the town's world coordinates (town.h), with the same root matrix as town.x.
#include "generators.h"
#include "geometry.h"
#include "town.h"

#include <cmath>
#include <cstdint>

namespace models {

namespace {

using namespace town;

// The lit-window sheet holds 8 x 8 windows on the facades' window grid (4 across, 3.5 up).
constexpr float kSheetWidth = 32, kSheetHeight = 28;

// Window light over every wall of a building, a few centimetres out, starting at a different
// place of the sheet for each building so that neighbours are lit differently.
Mesh windowLight(const Building& h, uint32_t seed) {
    Mesh m;
    const Vec3 c[4] = {at(h.a0, h.b0), at(h.a0, h.b1), at(h.a1, h.b1), at(h.a1, h.b0)};
    float u = static_cast<float>(seed % 8) * 4, v = static_cast<float>((seed / 8) % 8) * 3.5f;
    for (int k = 0; k < 4; ++k) {
        Vec3 p = c[k], q = c[(k + 1) % 4];
        Vec3 out = normalize(cross(q - p, Vec3{0, 1, 0})) * 0.04f;
        float width = length(q - p);
        Vec3 up{0, h.height, 0};
        merge(m, quad(p + out, q + out, q + out + up, p + out + up,
                      {u / kSheetWidth, (v - h.height) / kSheetHeight},
                      {(u + width) / kSheetWidth, v / kSheetHeight}));
        u += width;
    }
    return m;
}

// A glow seen from anywhere: three upright cards round a vertical axis and one lying flat.
Mesh halo(Vec3 centre, float size) {
    Mesh m;
    float h = size / 2;
    for (int k = 0; k < 3; ++k) {
        float a = static_cast<float>(k) * kPi / 3;
        Vec3 s{std::cos(a) * h, 0, std::sin(a) * h}, up{0, h, 0};
        Mesh card = quad(centre - s - up, centre + s - up, centre + s + up, centre - s + up);
        merge(m, card);
        flipFaces(card);
        merge(m, card);
    }
    Vec3 x{h, 0, 0}, z{0, 0, h};
    Mesh flat = quad(centre - x + z, centre + x + z, centre + x - z, centre - x - z);
    merge(m, flat);
    flipFaces(flat);
    merge(m, flat);
    return m;
}

} // namespace

Frame makeValot() {
    const Layout town = layout();
    Mesh windows, heads, pools;
    uint32_t seed = 7;
    for (const Building& h : town.buildings) {
        merge(windows, windowLight(h, seed));
        seed = seed * 1103515245u + 12345u;
        seed ^= seed >> 16;
    }
    for (const Lamp& lamp : town.lamps) {
        merge(heads, halo(lamp.head, 2.6f));
        Vec3 foot{lamp.head.x, 0.12f, lamp.head.z};
        Vec3 x{4.5f, 0, 0}, z{0, 0, 4.5f};
        merge(pools, quad(foot - x + z, foot + x + z, foot + x - z, foot - x - z));
    }

    // The town's root matrix: the scene replaces it with the town's placement anyway.
    Frame root = group("Root", Mat4::axisCancel() * Mat4::rotationX(1.2707963f) *
                                   Mat4::rotationY(-0.95f) * Mat4::scaling(0.5f));
    root.children.push_back(
        part("valo01", std::move(windows), material({1, 1, 1}, "valot_windows.jpg")));
    root.children.push_back(
        part("valo02", std::move(heads), material({1, 1, 1}, "valot_halo.jpg")));
    root.children.push_back(
        part("valo03", std::move(pools), material({1, 1, 1}, "valot_pool.jpg")));
    return root;
}

} // namespace models
