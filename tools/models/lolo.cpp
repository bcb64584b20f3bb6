// lolo.x: the small creatures of the harmonia scene. One smooth closed blob about 90 file units
// long: a round body swelling into a head toward +x, tapering into a short tail toward -x, with
// two eye bumps and a ridge along the back. Built as a sphere pushed out along its directions,
// so every seam vertex moves with its twins and welding closes the surface.
#include <cmath>

#include "generators.h"
#include "geometry.h"

namespace models {

namespace {

// Radius of the creature in unit direction d.
float radiusToward(Vec3 d) {
    auto lobe = [&](Vec3 axis, float width) {
        float c = dot(d, normalize(axis));
        return std::exp((c - 1) / width);
    };
    float r = 30;
    r += 14 * lobe({1, 0.15f, 0}, 0.25f);        // head
    r += 16 * lobe({-1, -0.1f, 0}, 0.08f);       // tail
    r += 5 * lobe({0.75f, 0.55f, 0.35f}, 0.01f); // eyes
    r += 5 * lobe({0.75f, 0.55f, -0.35f}, 0.01f);
    r += 4 * std::exp(-d.z * d.z / 0.02f) * std::fmax(0.0f, d.y); // ridge along the back
    r -= 4 * std::fmax(0.0f, -d.y);                               // flatter belly
    return r;
}

} // namespace

Frame makeLolo() {
    Mesh blob = sphere(1, 18, 30);
    for (Vec3& p : blob.positions)
        p = p * radiusToward(normalize(p));
    smoothNormals(blob, 180);
    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(part("Lolo", std::move(blob), material({0.7f, 0.7f, 0.75f})));
    return root;
}

} // namespace models
