// chain.x: one link of the finale's chains (drawn 380 times a frame, so kept under 150
// triangles). An oval ring of round wire in the file x-y plane, long axis y, centred on the
// origin: 11 long, 6 wide, wire radius 0.8.
#include <cmath>

#include "generators.h"
#include "geometry.h"

namespace models {

Frame makeChain() {
    const float wire = 0.8f, halfWidth = 3 - wire, straight = 5.5f - wire - halfWidth;
    std::vector<Vec3> path;
    const int arc = 6;
    for (int end = 0; end < 2; ++end) {
        float sign = end == 0 ? 1.0f : -1.0f;
        for (int i = 0; i <= arc; ++i) {
            float a = kPi * static_cast<float>(i) / arc;
            path.push_back(
                {sign * halfWidth * std::cos(a), sign * (straight + halfWidth * std::sin(a)), 0});
        }
    }
    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(
        part("Link", tube(path, wire, 5, true),
             material({0.8f, 0.78f, 0.75f}, "chain.jpg", {0.9f, 0.9f, 0.9f}, 24)));
    return root;
}

} // namespace models
