// Subdivision of edge-cycle meshes: each face of n edges becomes n quads around a face point,
// each edge is split at an edge point; a smoothing pass moves the points by the Catmull-Clark
// rules, a split-only pass keeps the shape.
#pragma once

#include "engine/mesh/modifiers.h"

namespace velmo {

class Mesh;

namespace meshmodify {

class Subdivide : public IMeshModifier {
public:
    // splitOnly 0 smooths on every pass; any other value only splits.
    Subdivide(int iterations, int splitOnly) : splitOnly(splitOnly), iterations(iterations) {}
    // Runs the passes, ping-ponging between the mesh and a scratch mesh that the device state
    // owns; the result ends in the mesh, CPU current. No passes for iterations <= 0.
    void apply(Mesh* mesh) override;
    // One pass: appends the refined geometry of source to destination's (empty) geometry.
    static void subdivideOnce(Mesh* source, int splitOnly, Mesh* destination);

    int splitOnly;
    // Made on the first apply and kept for later ones; never freed here.
    Mesh* scratch = nullptr;
    int iterations;
};

} // namespace meshmodify

} // namespace velmo
