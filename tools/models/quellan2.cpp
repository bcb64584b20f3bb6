// quellan2.x: the event's logo, "VELMO" in extruded block letters, for the intro's sky. The
// scene turns it half a turn about x and lifts it to (30, 90, 30) at 1.5 times its size, so
// the letters are written upside down (tops toward -y) with their faces toward +z: seen from
// the town they stand upright and read from left to right.
//
// The twisting shader turns each vertex by an angle proportional to its position along an
// axis, in mesh units: the mesh is kept small (4.6 units across, letters 1 unit tall, the
// frame scales it by 9) so the twist stays legible, and diced finely so the letters bend
// smoothly instead of folding along a few long triangles.
#include "generators.h"
#include "geometry.h"

namespace models {

namespace {

using Outline = std::vector<Vec2>;

// Block letters on a cap height of 1, strokes 0.24 wide, counter-clockwise outlines; letters
// with a counter are split into prisms without holes.
struct Letter {
    float width;
    std::vector<Outline> pieces;
};

Letter letterV() {
    return {0.8f,
            {{{0.28f, 0}, {0.52f, 0}, {0.8f, 1}, {0.56f, 1}, {0.4f, 0.34f}, {0.24f, 1}, {0, 1}}}};
}

Letter letterE() {
    return {0.7f,
            {{{0, 0},
              {0.7f, 0},
              {0.7f, 0.22f},
              {0.24f, 0.22f},
              {0.24f, 0.39f},
              {0.6f, 0.39f},
              {0.6f, 0.61f},
              {0.24f, 0.61f},
              {0.24f, 0.78f},
              {0.7f, 0.78f},
              {0.7f, 1},
              {0, 1}}}};
}

Letter letterL() {
    return {0.64f, {{{0, 0}, {0.64f, 0}, {0.64f, 0.22f}, {0.24f, 0.22f}, {0.24f, 1}, {0, 1}}}};
}

Letter letterM() {
    return {0.92f,
            {{{0, 0},
              {0.24f, 0},
              {0.24f, 0.58f},
              {0.46f, 0.3f},
              {0.68f, 0.58f},
              {0.68f, 0},
              {0.92f, 0},
              {0.92f, 1},
              {0.7f, 1},
              {0.46f, 0.64f},
              {0.22f, 1},
              {0, 1}}}};
}

// An O with chamfered outer corners: left and right halves meeting at the middle.
Letter letterO() {
    Outline left = {{0.4f, 0}, {0.4f, 0.22f}, {0.24f, 0.22f}, {0.24f, 0.78f}, {0.4f, 0.78f},
                    {0.4f, 1}, {0.16f, 1},    {0, 0.84f},     {0, 0.16f},     {0.16f, 0}};
    Outline right;
    for (auto p = left.rbegin(); p != left.rend(); ++p)
        right.push_back({0.8f - p->x, p->y});
    return {0.8f, {left, right}};
}

} // namespace

Frame makeQuellan2() {
    const Letter word[] = {letterV(), letterE(), letterL(), letterM(), letterO()};
    const float gap = 0.18f, depth = 0.3f;
    float width = -gap;
    for (const Letter& l : word)
        width += l.width + gap;

    Mesh text;
    float x = -width / 2;
    for (const Letter& l : word) {
        for (const Outline& piece : l.pieces)
            merge(text, transformed(extrude(piece, -depth / 2, depth / 2),
                                    Mat4::translation(x, -0.5f, 0)));
        x += l.width + gap;
    }
    dice(text, 0.15f);
    // Tops toward -y, faces still toward +z: a mirror, which transform winds back outward.
    transform(text, Mat4::scaling(1, -1, 1));

    Frame root = group("Root", Mat4::axisCancel());
    root.children.push_back(
        part("Text01", std::move(text), material({1, 1, 1}, "", {1, 1, 1}), Mat4::scaling(9)));
    return root;
}

} // namespace models
