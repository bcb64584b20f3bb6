// harmonia.x: the ball ("pallo") and the bundle of strings ("langat") of the harmonia scene.
// The scene replaces both parts' matrices every frame with a projective lens that magnifies
// about a thousand times while the music is quiet, so the ball is tiny: radius 0.01 at the
// origin. The strings are 16 thin closed tubes running along z from -1 to 1, gently waving,
// spread over a disc of radius 0.9 in x and y.
#include <cmath>

#include "generators.h"
#include "geometry.h"

namespace models {

Frame makeHarmonia() {
    Mesh strings;
    const int strands = 16, points = 9;
    for (int s = 0; s < strands; ++s) {
        float angle = 2 * kPi * s / strands;
        float radius = s % 2 == 0 ? 0.85f : 0.55f;
        std::vector<Vec3> path;
        for (int k = 0; k < points; ++k) {
            float z = -1 + 2.0f * k / (points - 1);
            float wave = 0.06f * std::sin(3 * z + angle * 2);
            path.push_back(
                {(radius + wave) * std::cos(angle), (radius + wave) * std::sin(angle), z * 0.98f});
        }
        merge(strings, tube(path, 0.02f, 6, false));
    }
    Frame root = group("Root");
    root.children.push_back(
        part("pallo", sphere(0.01f, 16, 24), material({0.9f, 0.55f, 0.2f}, "", {1, 1, 1}, 16)));
    root.children.push_back(
        part("langat", std::move(strings), material({1, 0.9f, 0.7f}, "langat.jpg", {1, 1, 1}, 32)));
    return root;
}

} // namespace models
