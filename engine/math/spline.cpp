#include "engine/math/spline.h"

namespace velmo {

float catmullRom(float p0, float p1, float p2, float p3, float u) {
    const float u2 = u * u;
    const float u3 = u2 * u;
    return 0.5f * (2.0f * p1 + (p2 - p0) * u + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * u2 +
                   (-p0 + 3.0f * p1 - 3.0f * p2 + p3) * u3);
}

Spline::Spline(const Vec3* controlPoints) {
    points.reserve(4);
    for (int i = 0; i < 4; ++i)
        points.push_back(controlPoints[i]);
}

Spline::Spline(const float* xyz) {
    points.reserve(4);
    for (int i = 0; i < 4; ++i)
        points.emplace_back(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
}

Vec3 Spline::evaluate(float t) const {
    const int n = static_cast<int>(points.size());
    if (t < 0.0f)
        t = 0.0f;
    if (t > 1.0f)
        t = 1.0f;
    const float s = closed ? t * static_cast<float>(n) : t * static_cast<float>(n - 2);
    const int i = static_cast<int>(s);
    const float u = s - static_cast<float>(i);

    int index[4];
    if (closed) {
        // i - 1, i, i + 1, i + 2 modulo n; the predecessor of 0 is n - 1.
        for (int k = 0; k < 4; ++k)
            index[k] = ((i - 1 + k) % n + n) % n;
    } else {
        // i .. i + 3, each held at the last point.
        for (int k = 0; k < 4; ++k)
            index[k] = i + k > n - 1 ? n - 1 : i + k;
    }

    const Vec3& p0 = points[index[0]];
    const Vec3& p1 = points[index[1]];
    const Vec3& p2 = points[index[2]];
    const Vec3& p3 = points[index[3]];
    return Vec3(catmullRom(p0.x, p1.x, p2.x, p3.x, u), catmullRom(p0.y, p1.y, p2.y, p3.y, u),
                catmullRom(p0.z, p1.z, p2.z, p3.z, u));
}

} // namespace velmo
