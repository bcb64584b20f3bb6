#include "model.h"

#include <cmath>

namespace models {

float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float length(Vec3 a) {
    return std::sqrt(dot(a, a));
}

Vec3 normalize(Vec3 a) {
    float l = length(a);
    return l > 0 ? a * (1.0f / l) : a;
}

Mat4 Mat4::translation(float x, float y, float z) {
    Mat4 t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    return t;
}

Mat4 Mat4::scaling(float x, float y, float z) {
    Mat4 s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    return s;
}

Mat4 Mat4::rotationX(float a) {
    Mat4 r;
    float c = std::cos(a), s = std::sin(a);
    r.m[5] = c;
    r.m[6] = s;
    r.m[9] = -s;
    r.m[10] = c;
    return r;
}

Mat4 Mat4::rotationY(float a) {
    Mat4 r;
    float c = std::cos(a), s = std::sin(a);
    r.m[0] = c;
    r.m[2] = -s;
    r.m[8] = s;
    r.m[10] = c;
    return r;
}

Mat4 Mat4::rotationZ(float a) {
    Mat4 r;
    float c = std::cos(a), s = std::sin(a);
    r.m[0] = c;
    r.m[1] = s;
    r.m[4] = -s;
    r.m[5] = c;
    return r;
}

Mat4 Mat4::axisCancel() {
    Mat4 r;
    r.m = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    return r;
}

Vec3 Mat4::transformPoint(Vec3 p) const {
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
            p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

Vec3 Mat4::transformVector(Vec3 v) const {
    return {v.x * m[0] + v.y * m[4] + v.z * m[8], v.x * m[1] + v.y * m[5] + v.z * m[9],
            v.x * m[2] + v.y * m[6] + v.z * m[10]};
}

float Mat4::determinant3() const {
    return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k)
                s += a.m[i * 4 + k] * b.m[k * 4 + j];
            r.m[i * 4 + j] = s;
        }
    return r;
}

Material material(Color diffuse, std::string texture, Color specular, float power) {
    Material m;
    m.diffuse = diffuse;
    m.texture = std::move(texture);
    m.specular = specular;
    m.power = power;
    return m;
}

Frame group(std::string name, Mat4 matrix) {
    Frame f;
    f.name = std::move(name);
    f.matrix = matrix;
    return f;
}

Frame part(std::string name, Mesh mesh, Material material, Mat4 matrix) {
    Frame f;
    f.name = std::move(name);
    f.matrix = matrix;
    f.mesh = std::move(mesh);
    f.materials.push_back(std::move(material));
    return f;
}

} // namespace models
