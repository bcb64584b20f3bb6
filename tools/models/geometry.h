// Mesh building blocks for the model generators. Every function returns (or edits) a models::Mesh
// following model.h's conventions: triangles wound outward, normals set, texture coordinates in
// image orientation (set 0 only).
//
// Primitives
//   box(lo, hi)                       axis-aligned box, flat faces, each face mapped 0..1.
//   lathe(profile, segments, crease)  surface of revolution about +y. profile lists (radius, y)
//                                     points from the bottom up; a point with radius 0 closes the
//                                     surface there (a fan, no degenerate triangles). Neighbouring
//                                     profile segments are smoothed where they meet at less than
//                                     crease degrees. u runs around (0..1 from +x toward +z... one
//                                     turn), v down the profile (0 at the top).
//   cylinder(r, y0, y1, segments)     closed cylinder along y (lathe with flat caps).
//   sphere(r, rings, segments)        smooth sphere about the origin, poles on y.
//   extrude(outline, z0, z1)          prism of a simple polygon (x-y plane, counter-clockwise,
//                                     no holes): caps at z1 (facing +z) and z0 (facing -z), flat
//                                     sides. Build letters with holes from several prisms.
//   quad(p0, p1, p2, p3, uvLo, uvHi) a flat quad, p0 p1 p2 p3 running round its front (the
//                                     normal is (p1 - p0) x (p2 - p0)); p0 gets (uvLo.x,
//                                     uvHi.y), p2 gets (uvHi.x, uvLo.y).
//   tube(path, radius, sides, closed) a round tube swept along a polyline (frames carried along
//                                     the path without twisting); open tubes get flat end caps,
//                                     closed ones join their last point to the first.
//
// Editing
//   transform(mesh, M) / transformed(mesh, M)   positions by M, normals by its inverse transpose;
//                                               a mirroring M also reverses the winding.
//   merge(into, add)                            appends add (its material indices kept; missing
//                                               normals/uvs filled with zeros).
//   flipFaces(mesh)                             reverses winding and negates normals (an
//                                               enclosure seen from inside).
//   smoothNormals(mesh, crease)                 area-weighted normals shared by corners at the
//                                               same position whose faces meet at less than
//                                               crease degrees.
//   flatNormals(mesh)                           one vertex per corner, face normals.
//   triangulate(polygon)                        ear clipping of a simple counter-clockwise polygon.
//   dice(mesh, cell)                            cuts every triangle along the planes x, y,
//                                               z = k * cell (no cracks: cut edges are shared).
//   tiltNormals(mesh, toward)                   adds toward to each normal and renormalises,
//                                               except for normals facing away from it (at
//                                               more than 120 degrees), which would turn over.
//   triangleCount(frame)                        triangles in a frame and its children.
#pragma once

#include "model.h"

namespace models {

Mesh box(Vec3 lo, Vec3 hi);
Mesh lathe(const std::vector<Vec2>& profile, int segments, float creaseDegrees = 50);
Mesh cylinder(float radius, float y0, float y1, int segments);
Mesh sphere(float radius, int rings, int segments);
Mesh extrude(const std::vector<Vec2>& outline, float z0, float z1);
Mesh quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 uvLo = {0, 0}, Vec2 uvHi = {1, 1});
Mesh tube(const std::vector<Vec3>& path, float radius, int sides, bool closed);

void transform(Mesh& mesh, const Mat4& m);
Mesh transformed(Mesh mesh, const Mat4& m);
void merge(Mesh& into, const Mesh& add);
void flipFaces(Mesh& mesh);
void smoothNormals(Mesh& mesh, float creaseDegrees);
void flatNormals(Mesh& mesh);
void dice(Mesh& mesh, float cell);
void tiltNormals(Mesh& mesh, Vec3 toward);
std::vector<Triangle> triangulate(const std::vector<Vec2>& polygon);
size_t triangleCount(const Frame& frame);

} // namespace models
