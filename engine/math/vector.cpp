#include "engine/math/vector.h"

#include <cmath>

namespace velmo {

Vec3& zeroVector3(Vec3& v) {
    v.x = 0.0f;
    v.y = 0.0f;
    v.z = 0.0f;
    return v;
}

float vecLength(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

float vecLengthSq(const Vec3& v) {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

float dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3& normalize(Vec3& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0.0)
        return v;
    const float inverse = 1.0f / length;
    v.x *= inverse;
    v.y *= inverse;
    v.z *= inverse;
    return v;
}

Vec3 normalized(Vec3 v) {
    return normalize(v);
}

Vec3& cross(Vec3& out, const Vec3& a, const Vec3& b) {
    const Vec3 r(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    out = r;
    return out;
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    Vec3 r;
    return cross(r, a, b);
}

} // namespace velmo
