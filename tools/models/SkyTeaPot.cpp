// SkyTeaPot.x: the sky of the intro, a sphere seen from inside. The scene replaces the root's
// matrix with its own placement, so the sphere's frame carries the inverse of that placement
// and the vertices are written in world coordinates: centre (0, 40, -20), radius 110, which
// holds every eye position of the intro's camera flight. The texture is an equirectangular
// dusk sky (zenith at the top of the picture, a glowing horizon band below the middle).
#include "generators.h"
#include "geometry.h"

namespace models {

Frame makeSkyTeaPot() {
    // The scene places the root by rotations about x and y by 1.57 (the engine's rotations,
    // which turn the other way than these), a uniform scale of 50.1 and a drop of 60; the
    // frame undoes that.
    Mat4 unplace = Mat4::translation(0, 60, 0) * Mat4::scaling(1 / 50.1f) * Mat4::rotationY(1.57f) *
                   Mat4::rotationX(1.57f);

    Mesh dome = sphere(110, 24, 48);
    flipFaces(dome); // seen from inside
    transform(dome, Mat4::translation(0, 40, -20));

    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(part("Sky", std::move(dome), material({1, 1, 1}, "sky.jpg"), unplace));
    return root;
}

} // namespace models
