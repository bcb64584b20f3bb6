// A mesh: the scene-graph node that holds one piece of geometry twice, as the editable store
// and as GPU buffers, and keeps the two in step lazily. Reads of a GPU-only mesh read its
// buffers back, writes make the store the current copy, and a draw uploads a stale store first.
#pragma once

#include <d3dx9.h>

#include "engine/mesh/mesh_buffers.h"
#include "engine/mesh/mesh_geometry.h"
#include "engine/scene/node.h"

namespace velmo {

class Mesh;

// The two copies of a mesh's geometry and which of them is current.
struct MeshData {
    enum SyncState : int {
        kEmpty = 0,       // neither copy holds geometry yet
        kCpuCurrent = 1,  // the store is authoritative; the buffers are stale or absent
        kGpuOnly = 2,     // the buffers are authoritative; the store is stale
        kBothCurrent = 3, // the two copies agree
    };

    MeshData(Mesh* owner, int vertexHint, int faceHint);
    // Frees the buffers (releasing both), then the store with all its elements.
    ~MeshData();
    MeshData(const MeshData&) = delete;
    MeshData& operator=(const MeshData&) = delete;

    MeshBuffers* buffers;
    MeshGeometry* geometry;
    int faceHint;
    int vertexHint;
    int syncState = kEmpty;
    // Imported normals stay as they are: refreshGeometry does nothing.
    bool normalsLocked = false;
    // Weld equal positions when the buffers are read back.
    bool readBackOption = false;
    Mesh* owner;
};

class Mesh : public INode {
public:
    // The hints size the first buffers (vertices and faces).
    Mesh(int vertexHint, int faceHint);
    ~Mesh() override;

    // Read access to the store's lists, reading a GPU-only mesh back first. An empty mesh is
    // reported (#166) and its empty list returned.
    VertexList* vertices();
    EdgeList* edges();
    FaceList* faces();
    // Write access: stores the address of each requested list (null pointers are skipped),
    // reading a GPU-only mesh back first; the store becomes the current copy and its normals
    // are computed again when next needed.
    void editGeometry(VertexList** vertexList, EdgeList** edgeList, FaceList** faceList);

    // Bakes a row-vector matrix into the positions and (unnormalised) normals.
    void transform(const D3DXMATRIX& m);
    // Makes this store equal to the source's geometry; an empty source is reported (#117).
    void copyGeometryFrom(Mesh* source);
    // Brings vertex normals up to date unless they are locked.
    void refreshGeometry();
    // Brings tangent frames up to date while the store is the only current copy.
    void prepare();
    // Draws the buffers with the device's current state, uploading a stale store first; an
    // empty mesh is reported (#141).
    void draw();
    // Replaces the GPU copy with a D3DX mesh's vertices and triangles, converted to the GPU
    // vertex and 32-bit indices.
    void loadFromD3DXMesh(ID3DXMesh* source);

    MeshData* data;

private:
    // Reads the buffers into the store (state 1); the caller sets the state that follows.
    void readBack();
    // Read access: reads back a GPU-only mesh, reports an empty one.
    void prepareRead();
};

} // namespace velmo
