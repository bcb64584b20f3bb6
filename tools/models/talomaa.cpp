// talomaa.x: the ground the house stands on, a slab 100 x 100 whose top is the house's foot (file
// z = 0, which the scene puts at world height -15). The scene loads it but never shows it: it
// only swaps the texture of "Plane01" for a picture it renders, so the part needs a texture.
#include "generators.h"
#include "geometry.h"

namespace models {

Frame makeTalomaa() {
    const float h = 50;
    Mesh ground = box({-h, -h, -0.2f}, {h, h, 0}); // a thin slab, its top at z = 0
    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(part("Plane01", std::move(ground), material({1, 1, 1}, "talomaa.jpg")));
    return root;
}

} // namespace models
