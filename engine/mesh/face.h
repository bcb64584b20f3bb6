#pragma once

#include <vector>

#include "engine/math/vector.h"
#include "engine/mesh/vertex.h"

namespace velmo {

class FaceBase;

// An edge record: two vertex ends (in the order made; no orientation meaning for faces) and two
// face slots that the engine itself leaves null and never reads. Owned by the geometry store.
struct Edge {
    Vertex* a = nullptr;
    Vertex* b = nullptr;
    FaceBase* face0 = nullptr;
    FaceBase* face1 = nullptr;
};

using EdgeList = std::vector<Edge*>;

// A face is a closed cycle of corner edges: consecutive edges share a vertex and the last
// shares one with the first. Its vertices are derived from the edges (the vertex loop).
class FaceBase {
public:
    FaceBase() = default;
    FaceBase(const FaceBase&) = default;
    FaceBase& operator=(const FaceBase&) = default;
    // Deletes the face only: its edges belong to the geometry store.
    virtual ~FaceBase() = default;

    virtual int getEdgeCount() const = 0;
    // A copy with the same face data and the same edge pointers.
    virtual FaceBase* clone() const = 0;
    // Corner i; callers keep 0 <= i < getEdgeCount().
    virtual void setEdge(int i, Edge* edge) = 0;
    virtual Edge* getEdge(int i) const = 0;
    // Appends the face's triangles, three vertices each, in the winding of the vertex loop.
    virtual void triangulate(VertexList& out) const = 0;

    // Appends one vertex per corner: the walk around the cycle that starts at the vertex shared
    // by the first two edges. Corners that cannot be resolved (a missing edge or end) give null.
    static void appendVertexLoop(const FaceBase* face, VertexList& out);
    // Sets the face normal to the cross product of the first loop triangle's sides. It is left
    // unnormalised: its length is twice that triangle's area.
    static void computeNormal(FaceBase* face);
    // Sets the face tangent and binormal from the positions and texture set 1 of the first loop
    // triangle (unnormalised); both are zero where the texture mapping is degenerate.
    static void computeTangentFrame(FaceBase* face);

    Vec3 normal{0.0f, 0.0f, 0.0f};
    Vec3 tangent{0.0f, 0.0f, 0.0f};
    Vec3 binormal{0.0f, 0.0f, 0.0f};
};

using FaceList = std::vector<FaceBase*>;

class QuadFace : public FaceBase {
public:
    QuadFace(Edge* e0, Edge* e1, Edge* e2, Edge* e3) : edges{e0, e1, e2, e3} {}
    QuadFace(const QuadFace&) = default;
    QuadFace& operator=(const QuadFace&) = default;

    int getEdgeCount() const override { return 4; }
    QuadFace* clone() const override { return new QuadFace(*this); }
    void setEdge(int i, Edge* edge) override { edges[i] = edge; }
    Edge* getEdge(int i) const override { return edges[i]; }
    // Two triangles of the loop L: (L0, L1, L2), then (L2, L3, L0).
    void triangulate(VertexList& out) const override;

private:
    Edge* edges[4];
};

class TriFace : public FaceBase {
public:
    TriFace(Edge* e0, Edge* e1, Edge* e2) : edges{e0, e1, e2} {}
    TriFace(const TriFace&) = default;
    TriFace& operator=(const TriFace&) = default;

    int getEdgeCount() const override { return 3; }
    TriFace* clone() const override { return new TriFace(*this); }
    void setEdge(int i, Edge* edge) override { edges[i] = edge; }
    Edge* getEdge(int i) const override { return edges[i]; }
    // The loop itself: (L0, L1, L2).
    void triangulate(VertexList& out) const override;

private:
    Edge* edges[3];
};

// The first corner edge of a (in a's corner order) that is also a corner edge of b, or null.
Edge* findSharedEdge(const FaceBase* a, const FaceBase* b);

} // namespace velmo
