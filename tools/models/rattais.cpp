// rattais.x: three meshing gear wheels. The scene turns every part about its own y axis each
// tick, alternately one way and the other, by the same angle: three equal wheels in a row, the
// middle one half a tooth out of phase, then mesh as real gears would. Each wheel's frame holds
// its pivot (the axle, along y); the wheel itself is centred on the frame's origin.
#include "generators.h"
#include "geometry.h"

#include <cmath>

namespace models {

namespace {

// A spur gear lying in the x-z plane, axle along y, 0.8 thick: `teeth` trapezoid teeth
// round a pitch radius of 2, and a hub standing out on both faces.
Mesh gear(int teeth) {
    const float root = 1.75f, tip = 2.3f;
    std::vector<Vec2> outline;
    for (int i = 0; i < teeth; ++i) {
        float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(teeth);
        float step = 2 * kPi / static_cast<float>(teeth);
        // Root land, flank up, tip land, flank down (counter-clockwise).
        const float at[4] = {0.0f, 0.3f, 0.45f, 0.75f};
        const float r[4] = {root, tip, tip, root};
        for (int k = 0; k < 4; ++k) {
            float b = a + at[k] * step;
            outline.push_back({r[k] * std::cos(b), r[k] * std::sin(b)});
        }
    }
    // The extrusion runs along z; turned, the wheel lies in x-z with its axle along y.
    Mesh wheel = transformed(extrude(outline, -0.4f, 0.4f), Mat4::rotationX(kPi / 2));
    merge(wheel, cylinder(0.55f, -0.75f, 0.75f, 12)); // hub
    return wheel;
}

} // namespace

Frame makeRattais() {
    Frame root = group("Root", Mat4::axisCancel());
    Material brass = material({0.9f, 0.7f, 0.35f}, "", {0.9f, 0.8f, 0.6f}, 24);
    const int teeth = 12;
    const float halfTooth = kPi / static_cast<float>(teeth);
    const char* names[3] = {"Gear01", "Gear02", "Gear03"};
    for (int i = 0; i < 3; ++i) {
        // Pitch circles of radius 2 touch at centre distance 4.
        Mat4 pivot = Mat4::rotationY(i % 2 ? halfTooth : 0) *
                     Mat4::translation(4.0f * static_cast<float>(i - 1), 0, 0);
        root.children.push_back(part(names[i], gear(teeth), brass, pivot));
    }
    return root;
}

} // namespace models
