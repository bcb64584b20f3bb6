// quelmobile2.x: a small airship towing the year over the intro's town.
//
// The scene hangs the year's glyphs (50 units per em) under this model's matrix scaled by 100,
// and moves the model one unit per second along its own -z. The root matrix undoes the scene's
// own placement and puts the model where it should hover, at a scale of 1 / 400: the year is
// then 12.5 world units per em (readable from the town) and the airship drifts no more than a
// tenth of a unit during the intro. The year starts at the model's origin and runs along +x
// with its faces toward -z, so the origin is placed over the main street, facing the camera's
// final position; the airship flies ahead of it to the left (nose toward -x), its two
// propellers ("object2", "object3", spun by the scene about their x axes) at the back of its
// engine pods, its exhaust ("Dummy01", where the smoke comes from) at the tail.
//
// Parts are built in world units around the model's origin (x along the year, y up, z away
// from the camera) and scaled back into the model's units by their frames.
#include "generators.h"
#include "geometry.h"

#include <cmath>

namespace models {

namespace {

constexpr float kScale = 1 / 400.0f;

// Design units (world units at the model) to the model's own units, after `place`.
Mat4 frameAt(Vec3 at) {
    return Mat4::translation(at.x, at.y, at.z) * Mat4::scaling(1 / kScale);
}

// The envelope's centre line: tail at x = -25, nose at x = -51, at height 7, 4 behind the year.
const Vec3 kTail{-25, 7, 4};

Mesh envelope() {
    // Radius along the length from the tail (y = 0) to the nose (y = 26).
    Mesh hull = lathe({{0, 0},
                       {1.2f, 1},
                       {2.6f, 3},
                       {3.7f, 6},
                       {4.4f, 10},
                       {4.5f, 14},
                       {4.2f, 18},
                       {3.5f, 21},
                       {2.4f, 23.5f},
                       {1.2f, 25.2f},
                       {0, 26}},
                      20, 60);
    // The lathe's +y becomes -x (nose forward, to the left).
    transform(hull, Mat4::rotationZ(kPi / 2) * Mat4::translation(kTail.x, kTail.y, kTail.z));
    return hull;
}

// Four tail fins round the envelope's axis.
Mesh fins() {
    Mesh all;
    std::vector<Vec2> fin = {{-4.5f, 0.6f}, {0, 0.6f}, {-0.3f, 4.4f}, {-2.2f, 4.4f}};
    for (int k = 0; k < 4; ++k) {
        Mesh f = extrude(fin, -0.12f, 0.12f);
        transform(f, Mat4::rotationX(static_cast<float>(k) * kPi / 2) *
                         Mat4::translation(kTail.x, kTail.y, kTail.z));
        merge(all, f);
    }
    return all;
}

// The cabin under the envelope, its struts, and two engine pods on outriggers.
Mesh gondola() {
    Mesh m = box({-43, 1.1f, 2.6f}, {-34, 3.1f, 5.4f});
    merge(m, box({-42, 3.1f, 3.6f}, {-41.4f, 3.5f, 4.4f}));
    merge(m, box({-35.6f, 3.1f, 3.6f}, {-35, 3.5f, 4.4f}));
    for (float z : {-0.6f, 8.6f}) {
        Mesh pod = transformed(
            lathe({{0, 0}, {0.5f, 0.3f}, {0.75f, 1.5f}, {0.7f, 3.4f}, {0.35f, 4.2f}, {0, 4.4f}}, 10,
                  50),
            Mat4::rotationZ(kPi / 2));
        transform(pod, Mat4::translation(-31.4f, 2.3f, z)); // nose at -35.8, back at -31.4
        merge(m, pod);
        merge(m, box({-34.2f, 2.1f, std::min(z, 4.0f)}, {-33.4f, 2.5f, std::max(z, 4.0f)}));
    }
    return m;
}

// A three-bladed propeller turning about x, centred on its hub.
Mesh propeller() {
    Mesh m = transformed(lathe({{0, -0.2f}, {0.3f, -0.2f}, {0.3f, 0.1f}, {0, 0.5f}}, 8, 50),
                         Mat4::rotationZ(-kPi / 2));
    for (int k = 0; k < 3; ++k) {
        Mesh blade = box({-0.06f, 0.2f, -0.22f}, {0.06f, 1.7f, 0.22f});
        transform(blade,
                  Mat4::rotationY(0.35f) * Mat4::rotationX(2 * kPi * static_cast<float>(k) / 3));
        merge(m, blade);
    }
    return m;
}

// The towlines from the tail to the top and foot of the year's first digit.
Mesh towlines() {
    Mesh m = tube({kTail, {0, 9.5f, 1}}, 0.08f, 4, false);
    merge(m, tube({kTail, {0, 0.5f, 1}}, 0.08f, 4, false));
    return m;
}

// The scene's own placement of the root, as the product of these matrices (the engine's
// rotations about x and y turn the other way than Mat4's).
Mat4 sceneInverse() {
    return Mat4::translation(-10, 0, 0) * Mat4::rotationX(1.5707964f) * Mat4::rotationY(-1.57f) *
           Mat4::translation(0, 60, 0) * Mat4::scaling(1 / 9.0f) * Mat4::rotationY(0.7f) *
           Mat4::rotationX(-0.5f) * Mat4::translation(0, 0, -32);
}

} // namespace

Frame makeQuelmobile2() {
    // Where the model hovers: its x across the town's main street (15 degrees off the world's
    // x), the year centred over the street 13 past the town centre, its foot 34 up.
    Mat4 hover =
        Mat4::scaling(kScale) * Mat4::rotationY(0.2617994f) * Mat4::translation(-37.2f, 34, 23.4f);
    Frame root = group("Root", Mat4::axisCancel() * sceneInverse() * hover);

    // Bright diffuse colours: the scene's lights are far away (see town.cpp).
    Material silver = material({9, 9, 9.5f}, "mobile_envelope.jpg", {1.5f, 1.5f, 1.5f}, 24);
    Material red = material({9, 1.6f, 1.2f}, "", {0.5f, 0.5f, 0.5f}, 16);
    Material cabin = material({5, 5, 6}, "", {0.6f, 0.6f, 0.6f}, 16);
    Material dark = material({2, 2, 2.2f}, "", {0.4f, 0.4f, 0.4f});
    Material rope = material({3, 2.6f, 2});

    Mat4 atDesign = Mat4::scaling(1 / kScale);
    root.children.push_back(part("Envelope", envelope(), silver, atDesign));
    root.children.push_back(part("Fins", fins(), red, atDesign));
    root.children.push_back(part("Gondola", gondola(), cabin, atDesign));
    root.children.push_back(part("object2", propeller(), dark, frameAt({-31.2f, 2.3f, -0.6f})));
    root.children.push_back(part("object3", propeller(), dark, frameAt({-31.2f, 2.3f, 8.6f})));
    root.children.push_back(part("Towlines", towlines(), rope, atDesign));
    root.children.push_back(group("Dummy01", frameAt({kTail.x + 0.5f, kTail.y, kTail.z})));
    return root;
}

} // namespace models
