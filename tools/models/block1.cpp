// block1.x: one block of the house arms and the hanging chains. A bevelled square bar 3 x 3
// along +x from 0.1 to 8.1 (the next block starts 8.2 further on), with a short axle stub at
// each end so consecutive blocks read as linked.
#include "generators.h"
#include "geometry.h"

namespace models {

Frame makeBlock1() {
    const float h = 1.5f, c = 0.45f; // half width, bevel
    std::vector<Vec2> octagon = {{-h + c, -h}, {h - c, -h}, {h, -h + c}, {h, h - c},
                                 {h - c, h},   {-h + c, h}, {-h, h - c}, {-h, -h + c}};
    // Extrusion runs along z; turn z into +x.
    Mat4 alongX = Mat4::rotationY(kPi / 2);
    Mesh bar = transformed(extrude(octagon, 0.1f, 8.1f), alongX);
    for (float x0 : {-0.1f, 8.0f}) {
        Mesh stub = transformed(cylinder(0.7f, 0, 0.3f, 8), Mat4::rotationZ(-kPi / 2));
        merge(bar, transformed(stub, Mat4::translation(x0, 0, 0)));
    }
    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(
        part("Block", std::move(bar),
             material({0.85f, 0.82f, 0.78f}, "block.jpg", {0.6f, 0.6f, 0.6f}, 16)));
    return root;
}

} // namespace models
