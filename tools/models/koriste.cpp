// koriste.x: a small decoration the finale loads and puts aside: an eight-faced diamond.
#include "generators.h"
#include "geometry.h"

namespace models {

Frame makeKoriste() {
    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(part("Koriste", sphere(5, 2, 4), material({0.9f, 0.8f, 0.3f})));
    return root;
}

} // namespace models
