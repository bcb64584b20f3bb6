// The model tool's scene description: frames with names and matrices, each with at most one
// triangle mesh and its materials, written as text DirectX .x (xfile.h) or binary .3ds
// (threeds.h).
//
// Conventions (what every generator relies on):
// - Matrices are row-vector matrices as DirectX writes them: a point is transformed as v * M,
//   A * B applies A first, the translation sits in elements 12..14. Mat4::rotationX/Y/Z turn
//   counter-clockwise looking down the axis toward the origin (right-handed, +x to +y about z).
// - A mesh's triangles are wound so that (p1 - p0) x (p2 - p0) points to the side they are seen
//   from (outward for solids, inward for an enclosure seen from inside).
// - Normals are the ones the program should see after loading: the writers negate them in the
//   file for models that the program loads with normals negated (ModelFile::negatedOnLoad).
// - Texture coordinates are in image orientation: (0, 0) is the image's top-left corner. The
//   .x writer stores v as 1 - v, which the loader turns back.
// - faceMaterials[i] picks the frame's material for triangle i; empty means material 0 for all.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace models {

constexpr float kPi = 3.14159265358979323846f;

struct Vec2 {
    float x = 0, y = 0;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator-(Vec3 a) {
    return {-a.x, -a.y, -a.z};
}
inline Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, float s) {
    return {a.x * s, a.y * s};
}
float dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
float length(Vec3 a);
// a scaled to length 1; the zero vector stays zero.
Vec3 normalize(Vec3 a);

struct Mat4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static Mat4 identity() { return {}; }
    static Mat4 translation(float x, float y, float z);
    static Mat4 scaling(float x, float y, float z);
    static Mat4 scaling(float s) { return scaling(s, s, s); }
    static Mat4 rotationX(float radians);
    static Mat4 rotationY(float radians);
    static Mat4 rotationZ(float radians);
    // The root matrix that cancels the loader's axis change (x, y, z) -> (x, -z, y): with it,
    // file coordinates are the loaded root's coordinates.
    static Mat4 axisCancel();

    Vec3 transformPoint(Vec3 p) const;
    Vec3 transformVector(Vec3 v) const;
    float determinant3() const;
};
// a then b.
Mat4 operator*(const Mat4& a, const Mat4& b);

using Triangle = std::array<uint32_t, 3>;

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals; // one per position, or empty for none
    std::vector<Vec2> uv0;     // one per position, or empty for none
    std::vector<Vec2> uv1;     // a second set, or empty
    std::vector<Triangle> triangles;
    std::vector<uint32_t> faceMaterials; // one per triangle, or empty for material 0

    size_t vertexCount() const { return positions.size(); }
};

struct Color {
    float r = 1, g = 1, b = 1, a = 1;
};

struct Material {
    Color diffuse;
    float power = 8;
    Color specular{0, 0, 0, 1}; // alpha unused
    Color emissive{0, 0, 0, 1}; // alpha unused
    std::string texture;        // bare file name under data/, or empty
};

struct Frame {
    std::string name;
    Mat4 matrix;
    std::optional<Mesh> mesh;
    std::vector<Material> materials; // at least one when mesh is set
    std::vector<Frame> children;
};

// A material of the given colour (alpha 1 unless given), texture and highlight.
Material material(Color diffuse, std::string texture = "", Color specular = {0, 0, 0, 1},
                  float power = 8);
// A named frame without a mesh (the top-level frame, or a group).
Frame group(std::string name, Mat4 matrix = {});
// A named frame holding mesh with one material.
Frame part(std::string name, Mesh mesh, Material material, Mat4 matrix = {});

} // namespace models
