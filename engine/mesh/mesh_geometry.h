#pragma once

#include "engine/mesh/face.h"
#include "engine/mesh/vertex.h"

namespace velmo {

// The CPU-side, editable copy of one mesh: owned, ordered lists of vertices, edges and faces,
// and validity flags for the data derived from them (face normals, vertex normals, vertex
// tangent frames), which are computed lazily and once until a flag is cleared.
//
// List order matters: the upload numbers vertices by their place in the vertex list and emits
// faces in list order. A face's edges and an edge's vertices are expected to be elements of the
// same store.
class MeshGeometry {
public:
    MeshGeometry() = default;
    ~MeshGeometry();
    MeshGeometry(const MeshGeometry&) = delete;
    MeshGeometry& operator=(const MeshGeometry&) = delete;

    // Deletes every vertex, edge and face and empties the lists; the flags stay as they are.
    void clear();
    // Replaces each given list by a deep copy of it and clears all three flags; a null argument
    // leaves that list alone. Copied edges point at the vertices copied by the same call and
    // copied faces at the edges copied by the same call; anything else becomes null.
    void assign(const VertexList* newVertices, const EdgeList* newEdges, const FaceList* newFaces);
    // Makes this store a deep copy of other's lists; the flags stay as they are.
    void copyFrom(const MeshGeometry& other);

    // Computes every face normal, unless they are already valid.
    void computeFaceNormals();
    // Computes every face tangent frame, at every call.
    void computeFaceTangentFrames();
    // Area-weighted, normalised vertex normals from the face normals. True when it computed
    // them; false when they were already valid, the store has no vertices or the vertex kind
    // has no normal.
    bool computeNormals();
    // Normalised vertex tangents and binormals summed from the face tangent frames, unless they
    // are already valid, the store has no vertices or the vertex kind has no tangent frame.
    void computeTangents();

    bool vertexNormalsValid = false;
    bool faceNormalsValid = false;
    bool tangentFramesValid = false;
    VertexList vertices;
    EdgeList edges;
    FaceList faces;

private:
    void replaceLists(const VertexList* newVertices, const EdgeList* newEdges,
                      const FaceList* newFaces);
};

} // namespace velmo
