// piippu.3ds: the smoking pipes of the harmonia scene. A chimney pipe standing on file +z from
// z = 0 to the mouth at z = 8.5: a flared foot, a shaft of radius 0.9 with two bands, a lip at
// the mouth and a hollow throat 1.5 deep. One closed surface (the lathe's seams and ring rows
// meet exactly, so welding joins them), faces wound outward.
#include "generators.h"
#include "geometry.h"

namespace models {

Frame makePiippu() {
    // (radius, height) from the centre of the foot up the outside, over the lip and down the
    // throat to the centre of its floor.
    std::vector<Vec2> profile = {{0, 0},        {1.3f, 0},     {1.3f, 0.3f},  {1.0f, 0.8f},
                                 {0.9f, 1.2f},  {0.9f, 3.6f},  {1.05f, 3.7f}, {1.05f, 4.0f},
                                 {0.9f, 4.1f},  {0.9f, 7.8f},  {1.15f, 8.0f}, {1.15f, 8.5f},
                                 {0.75f, 8.5f}, {0.75f, 7.0f}, {0, 7.0f}};
    Mesh pipe = transformed(lathe(profile, 20, 40), Mat4::rotationX(kPi / 2));
    Frame root = group("Root");
    root.children.push_back(part("Pipe", std::move(pipe), material({0.5f, 0.5f, 0.5f})));
    return root;
}

} // namespace models
