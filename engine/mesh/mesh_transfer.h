// The two conversions between a mesh's editable geometry and its GPU buffers.
#pragma once

#include "engine/mesh/mesh_buffers.h"
#include "engine/mesh/mesh_geometry.h"

namespace velmo {

class Mesh;

// Writes the store to the owner's buffers: every vertex once, in list order, and each face's
// triangulation as indices. A face vertex that is not in the store is reported (#320) and
// written as index 0. Leaves the owner GPU-only (state 2).
void uploadGeometry(const MeshGeometry& geometry, Mesh& owner);

// Replaces the owner's store with the buffers' triangles: vertices (welded by position when
// weld is set), one shared edge per vertex pair and a triangle face per triangle. A missing
// vertex buffer reads as no vertices, a missing index buffer as no triangles. Leaves the owner
// CPU current (state 1).
void downloadGeometry(const MeshBuffers& buffers, Mesh& owner, bool weld);

} // namespace velmo
