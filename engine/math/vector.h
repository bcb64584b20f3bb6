// 3-float vectors of the engine. velmo::Vec3 is the platform's 3-float vector
// (D3DXVECTOR3, the layout of D3DVECTOR), so it goes unchanged into effect parameters and
// vertex records. Its operators are the platform type's: a += b, a - b, a / s and a /= s (no
// test for s = 0) among them, component by component in single precision.
#pragma once

#include <d3dx9math.h>

namespace velmo {

using Vec3 = D3DXVECTOR3;

// Sets v to (0, 0, 0) and returns it.
Vec3& zeroVector3(Vec3& v);

// sqrt(x*x + y*y + z*z).
float vecLength(const Vec3& v);
// x*x + y*y + z*z.
float vecLengthSq(const Vec3& v);
// a.x*b.x + a.y*b.y + a.z*b.z.
float dot(const Vec3& a, const Vec3& b);

// Scales v in place by 1 / length; a vector of length exactly 0 is left unchanged.
Vec3& normalize(Vec3& v);
// A copy of v normalised by the same rule (a zero vector comes back as zero).
Vec3 normalized(Vec3 v);

// (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x).
Vec3 cross(const Vec3& a, const Vec3& b);
Vec3& cross(Vec3& out, const Vec3& a, const Vec3& b);

} // namespace velmo
