#include "engine/math/matrix.h"

#include <cmath>

namespace velmo {

Matrix& identityMatrix(Matrix& out) {
    out = Matrix();
    out.m[0][0] = 1.0f;
    out.m[1][1] = 1.0f;
    out.m[2][2] = 1.0f;
    out.m[3][3] = 1.0f;
    return out;
}

Matrix identityMatrix() {
    Matrix m;
    return identityMatrix(m);
}

Matrix& makeTranslation(Matrix& out, float x, float y, float z) {
    identityMatrix(out);
    out.m[3][0] = x;
    out.m[3][1] = y;
    out.m[3][2] = z;
    return out;
}

Matrix makeTranslation(float x, float y, float z) {
    Matrix m;
    return makeTranslation(m, x, y, z);
}

Matrix& setTranslation(Matrix& m, const Vec3& v) {
    m.m[3][0] = v.x;
    m.m[3][1] = v.y;
    m.m[3][2] = v.z;
    return m;
}

Vec3 getTranslation(const Matrix& m) {
    return Vec3(m.m[3][0], m.m[3][1], m.m[3][2]);
}

namespace {

// The identity turned in the plane of axes i and j: c at m[i][i] and m[j][j], s at m[i][j] and
// -s at m[j][i]. The usual row-vector rotations are (1, 2) about X, (2, 0) about Y and (0, 1)
// about Z.
Matrix& planeRotation(Matrix& out, float angle, int i, int j) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    identityMatrix(out);
    out.m[i][i] = c;
    out.m[i][j] = s;
    out.m[j][i] = -s;
    out.m[j][j] = c;
    return out;
}

} // namespace

// The engine's X and Y take the usual planes the other way round: the transposes of the usual
// rotations (and of D3DXMatrixRotationX/Y). Z is the usual one.
Matrix& rotationX(Matrix& out, float angle) {
    return planeRotation(out, angle, 2, 1);
}

Matrix rotationX(float angle) {
    Matrix m;
    return rotationX(m, angle);
}

Matrix& rotationY(Matrix& out, float angle) {
    return planeRotation(out, angle, 0, 2);
}

Matrix rotationY(float angle) {
    Matrix m;
    return rotationY(m, angle);
}

Matrix& rotationZ(Matrix& out, float angle) {
    return planeRotation(out, angle, 0, 1);
}

Matrix rotationZ(float angle) {
    Matrix m;
    return rotationZ(m, angle);
}

Matrix& multiplyMatrix(Matrix& out, const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    out = r;
    return out;
}

Matrix multiplyMatrix(const Matrix& a, const Matrix& b) {
    Matrix r;
    return multiplyMatrix(r, a, b);
}

Matrix& subtractMatrix(Matrix& out, const Matrix& a, const Matrix& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out.m[i][j] = a.m[i][j] - b.m[i][j];
    return out;
}

Matrix subtractMatrix(const Matrix& a, const Matrix& b) {
    Matrix r;
    return subtractMatrix(r, a, b);
}

Matrix& invertMatrix(Matrix& out, const Matrix& m) {
    Matrix r;
    identityMatrix(r);
    // A singular matrix makes the call fail and leave the preset identity.
    D3DXMatrixInverse(&r, nullptr, &m);
    out = r;
    return out;
}

Matrix invertMatrix(const Matrix& m) {
    Matrix r;
    return invertMatrix(r, m);
}

Vec3& transformPoint(Vec3& out, const Vec3& p, const Matrix& m) {
    const Vec3 r(p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
                 p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
                 p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]);
    out = r;
    return out;
}

Vec3 transformPoint(const Vec3& p, const Matrix& m) {
    Vec3 r;
    return transformPoint(r, p, m);
}

Matrix& lookAtLH(Matrix& out, Vec3 eye, Vec3 target, Vec3 up) {
    const Vec3 z = normalized(target - eye);
    const Vec3 x = normalized(cross(up, z));
    const Vec3 y = cross(z, x);

    identityMatrix(out);
    out.m[0][0] = x.x;
    out.m[1][0] = x.y;
    out.m[2][0] = x.z;
    out.m[0][1] = y.x;
    out.m[1][1] = y.y;
    out.m[2][1] = y.z;
    out.m[0][2] = z.x;
    out.m[1][2] = z.y;
    out.m[2][2] = z.z;
    out.m[3][0] = -dot(x, eye);
    out.m[3][1] = -dot(y, eye);
    out.m[3][2] = -dot(z, eye);
    return out;
}

Matrix lookAtLH(Vec3 eye, Vec3 target, Vec3 up) {
    Matrix m;
    return lookAtLH(m, eye, target, up);
}

Matrix& perspectiveFovLH(Matrix& out, float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    identityMatrix(out);
    out.m[0][0] = yScale / aspect;
    out.m[1][1] = yScale;
    out.m[2][2] = zFar / (zFar - zNear);
    out.m[2][3] = 1.0f;
    out.m[3][2] = -zNear * zFar / (zFar - zNear);
    // m[3][3] keeps the identity's 1.
    return out;
}

Matrix perspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    Matrix m;
    return perspectiveFovLH(m, fovY, aspect, zNear, zFar);
}

} // namespace velmo
