// Uniform Catmull-Rom curve through 3D control points, evaluated at t in [0, 1]
// over the whole curve; open (the default) or closed into a loop.
#pragma once

#include <vector>

#include "engine/math/vector.h"

namespace velmo {

// 0.5 * (2*p1 + (p2 - p0)*u + (2*p0 - 5*p1 + 4*p2 - p3)*u^2 + (-p0 + 3*p1 - 3*p2 + p3)*u^3):
// p1 at u = 0, p2 at u = 1.
float catmullRom(float p0, float p1, float p2, float p3, float u);

class Spline {
public:
    // Appends the four points at points[0..3] (twelve floats x, y, z, x, y, z, ...) in order.
    explicit Spline(const Vec3* points);
    // The same from twelve floats x, y, z, x, y, z, ...
    explicit Spline(const float* xyz);

    // The point of the curve at t, clamped to [0, 1]. An open curve runs from point 1 (t = 0)
    // to the last point (t = 1); a closed one from point 0 around all points back to point 0.
    Vec3 evaluate(float t) const;

    std::vector<Vec3> points;
    bool closed = false;
};

} // namespace velmo
