// 4 x 4 float matrices of the engine: D3DXMATRIX, row-major (m[row][col]), in the
// row-vector convention: a point p is transformed as (p, 1) * M, the translation sits in the
// fourth row, composed transforms read left to right (world = local * parentWorld).
//
// Every builder comes in two forms: one writes into a caller's matrix and returns it, the other
// returns the matrix by value. Neither allocates. The rotations about X and Y are the engine's
// own, the transposes of the usual row-vector rotations (and of D3DXMatrixRotationX/Y): see
// the rotations below. The perspective matrix keeps 1 in m[3][3], so a view-space point gets
// w = z + 1.
#pragma once

#include <d3dx9math.h>

#include "engine/math/vector.h"

namespace velmo {

using Matrix = D3DXMATRIX;

// The identity matrix.
Matrix& identityMatrix(Matrix& out);
Matrix identityMatrix();

// Identity with (x, y, z) in the fourth row.
Matrix& makeTranslation(Matrix& out, float x, float y, float z);
Matrix makeTranslation(float x, float y, float z);
// Writes v into m[3][0], m[3][1], m[3][2]; the other elements are untouched.
Matrix& setTranslation(Matrix& m, const Vec3& v);
// (m[3][0], m[3][1], m[3][2]).
Vec3 getTranslation(const Matrix& m);

// ---- Rotations: the engine's convention, NOT D3DX's ------------------------------------------
// velmo::rotationX and velmo::rotationY turn the OTHER WAY from D3DXMatrixRotationX/Y: each is
// the transpose of its D3DX namesake, that is the D3DX rotation by -angle. The scenes'
// pictures depend on it: never swap one set for the other, and never mix them in one chain.
// velmo::rotationZ is the same matrix as D3DXMatrixRotationZ. Call sites that use X or Y say so.

// Rotation about X, transposed from D3DX's: m[1][1] = c, m[1][2] = -s, m[2][1] = s,
// m[2][2] = c, so the row vector (0, 1, 0) goes to (0, cos a, -sin a).
Matrix& rotationX(Matrix& out, float angle);
Matrix rotationX(float angle);
// Rotation about Y, transposed from D3DX's: m[0][0] = c, m[0][2] = s, m[2][0] = -s,
// m[2][2] = c, so (1, 0, 0) goes to (cos a, 0, sin a).
Matrix& rotationY(Matrix& out, float angle);
Matrix rotationY(float angle);
// Rotation about Z, the usual one (as D3DX's): (1, 0, 0) goes to (cos a, sin a, 0).
Matrix& rotationZ(Matrix& out, float angle);
Matrix rotationZ(float angle);
// ----------------------------------------------------------------------------------------------

// The full 4 x 4 product a * b. The output may be the same object as an operand.
Matrix& multiplyMatrix(Matrix& out, const Matrix& a, const Matrix& b);
Matrix multiplyMatrix(const Matrix& a, const Matrix& b);
// Element by element a - b.
Matrix& subtractMatrix(Matrix& out, const Matrix& a, const Matrix& b);
Matrix subtractMatrix(const Matrix& a, const Matrix& b);
// The inverse of m through D3DXMatrixInverse; a singular m yields the identity.
Matrix& invertMatrix(Matrix& out, const Matrix& m);
Matrix invertMatrix(const Matrix& m);

// (p, 1) * m: the w column is ignored and there is no division.
Vec3& transformPoint(Vec3& out, const Vec3& p, const Matrix& m);
Vec3 transformPoint(const Vec3& p, const Matrix& m);

// Left-handed view matrix looking from eye at target with the up hint up.
Matrix& lookAtLH(Matrix& out, Vec3 eye, Vec3 target, Vec3 up);
Matrix lookAtLH(Vec3 eye, Vec3 target, Vec3 up);
// Left-handed perspective: m[0][0] = yScale / aspect, m[1][1] = yScale = 1 / tan(fovY / 2),
// m[2][2] = zf / (zf - zn), m[2][3] = 1, m[3][2] = -zn * zf / (zf - zn), and m[3][3] = 1.
Matrix& perspectiveFovLH(Matrix& out, float fovY, float aspect, float zNear, float zFar);
Matrix perspectiveFovLH(float fovY, float aspect, float zNear, float zFar);

} // namespace velmo
