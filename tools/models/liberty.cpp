// liberty.x: the statue that follows the finale's chain anchors. A robed figure standing on a
// plinth, Y-up with its base at the origin, 140 units tall to the torch flame: a flared robe
// rising into the torso, a head with a spiked crown, the right arm raised holding a torch and
// the left arm bent holding a tablet. One part, one material (green copper).
#include <cmath>

#include "generators.h"
#include "geometry.h"

namespace models {

namespace {

// A tapering round limb between two points (a lathe along y turned onto a -> b).
Mesh limb(Vec3 a, Vec3 b, float r0, float r1) {
    Vec3 d = b - a;
    float len = length(d);
    Mesh m = lathe({{0, 0}, {r0, 0}, {r1, len}, {0, len}}, 10);
    // Rotate +y onto d: about the axis y x d by the angle between them.
    Vec3 y{0, 1, 0}, dir = normalize(d), axis = cross(y, dir);
    float s = length(axis), c = dot(y, dir);
    Mat4 r;
    if (s > 1e-6f) {
        axis = axis * (1 / s);
        float t = 1 - c;
        r.m = {t * axis.x * axis.x + c,
               t * axis.x * axis.y + s * axis.z,
               t * axis.x * axis.z - s * axis.y,
               0,
               t * axis.x * axis.y - s * axis.z,
               t * axis.y * axis.y + c,
               t * axis.y * axis.z + s * axis.x,
               0,
               t * axis.x * axis.z + s * axis.y,
               t * axis.y * axis.z - s * axis.x,
               t * axis.z * axis.z + c,
               0,
               0,
               0,
               0,
               1};
    }
    transform(m, r * Mat4::translation(a.x, a.y, a.z));
    return m;
}

} // namespace

Frame makeLiberty() {
    Mesh statue = box({-16, 0, -16}, {16, 14, 16}); // plinth
    merge(statue, box({-13, 14, -13}, {13, 18, 13}));
    merge(statue, lathe({{0, 18},
                         {15, 18},
                         {14, 30},
                         {12, 50},
                         {10.5f, 70},
                         {11.5f, 82},
                         {10, 90},
                         {5, 95},
                         {3.5f, 98},
                         {0, 98}},
                        16, 35)); // robe, torso, shoulders, neck
    merge(statue, transformed(sphere(7, 8, 12), Mat4::translation(0, 105, 0)));         // head
    merge(statue, transformed(cylinder(7.5f, 0, 3, 12), Mat4::translation(0, 108, 0))); // crown
    for (int i = 0; i < 7; ++i) {
        float a = kPi * (0.15f + 0.7f * i / 6.0f); // spikes fanning over the front half
        Vec3 base{7 * std::cos(a), 110, 7 * std::sin(a)};
        merge(statue, limb(base, base + Vec3{10 * std::cos(a), 6, 10 * std::sin(a)}, 1.4f, 0.1f));
    }
    // Right arm raised with the torch (the figure faces -z).
    merge(statue, limb({-9, 88, 0}, {-13, 112, -2}, 3.5f, 3));
    merge(statue, limb({-13, 112, -2}, {-14, 128, -3}, 3, 2.5f));
    merge(statue, limb({-14, 126, -3}, {-14.5f, 133, -3}, 2.2f, 3.2f)); // torch
    merge(statue, transformed(lathe({{0, 0}, {3.2f, 0}, {2, 5}, {0, 11}}, 10),
                              Mat4::translation(-14.5f, 133, -3))); // flame
    // Left arm bent, holding the tablet against the side.
    merge(statue, limb({9, 88, 0}, {12, 70, -3}, 3.5f, 3));
    merge(statue, limb({12, 70, -3}, {8, 64, -10}, 3, 2.5f));
    merge(statue, transformed(box({-4, -9, -1.5f}, {4, 9, 1.5f}),
                              Mat4::rotationX(0.35f) * Mat4::translation(10, 66, -12)));
    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(part("Liberty", std::move(statue),
                                 material({1, 1, 1}, "liberty.jpg", {0.4f, 0.5f, 0.45f}, 12)));
    return root;
}

} // namespace models
