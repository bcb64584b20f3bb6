#include "engine/mesh/face.h"

#include <array>

namespace velmo {

namespace {

bool isEndOf(const Vertex* v, const Edge* edge) {
    return v != nullptr && edge != nullptr && (v == edge->a || v == edge->b);
}

// Walks the corner edges and hands sink one vertex per corner. The first vertex is the end of
// E0 that E1 also has; each later corner gives the end of its edge opposite the vertex before.
// A missing edge or end gives null, and the walk starts afresh at the next corner.
template <class Sink> void walkLoop(const FaceBase* face, Sink&& sink) {
    const int n = face->getEdgeCount();
    Vertex* last = nullptr;
    for (int i = 0; i < n; ++i) {
        const Edge* edge = face->getEdge(i);
        Vertex* a = edge != nullptr ? edge->a : nullptr;
        Vertex* b = edge != nullptr ? edge->b : nullptr;
        Vertex* next;
        if (last == nullptr) {
            const Edge* following = face->getEdge((i + 1) % n);
            if (isEndOf(a, following)) {
                next = a;
            } else if (isEndOf(b, following)) {
                next = b;
            } else {
                next = a;
            }
        } else {
            next = (last == a) ? b : (last == b) ? a : b;
        }
        sink(next);
        last = next;
    }
}

// The first three loop vertices, or false when the face has fewer or one of them is missing.
bool firstTriangle(const FaceBase* face, std::array<Vertex*, 3>& corners) {
    int count = 0;
    walkLoop(face, [&](Vertex* v) {
        if (count < 3) {
            corners[count] = v;
        }
        ++count;
    });
    return count >= 3 && corners[0] != nullptr && corners[1] != nullptr && corners[2] != nullptr;
}

} // namespace

void FaceBase::appendVertexLoop(const FaceBase* face, VertexList& out) {
    walkLoop(face, [&](Vertex* v) { out.push_back(v); });
}

void FaceBase::computeNormal(FaceBase* face) {
    face->normal = Vec3{0.0f, 0.0f, 0.0f};
    std::array<Vertex*, 3> corners{};
    if (!firstTriangle(face, corners)) {
        return;
    }
    const Vec3* p0 = corners[0]->getPosition();
    const Vec3* p1 = corners[1]->getPosition();
    const Vec3* p2 = corners[2]->getPosition();
    if (p0 == nullptr || p1 == nullptr || p2 == nullptr) {
        return;
    }
    face->normal = cross(*p1 - *p0, *p2 - *p0);
}

void FaceBase::computeTangentFrame(FaceBase* face) {
    face->tangent = Vec3{0.0f, 0.0f, 0.0f};
    face->binormal = Vec3{0.0f, 0.0f, 0.0f};
    std::array<Vertex*, 3> corners{};
    if (!firstTriangle(face, corners)) {
        return;
    }
    std::array<const Vec3*, 3> p{};
    std::array<const float*, 3> uv{};
    for (int k = 0; k < 3; ++k) {
        p[k] = corners[k]->getPosition();
        uv[k] = corners[k]->getUV1();
        if (p[k] == nullptr || uv[k] == nullptr) {
            return;
        }
    }
    const Vec3 e1 = *p[1] - *p[0];
    const Vec3 e2 = *p[2] - *p[0];
    const float ds1 = uv[1][0] - uv[0][0];
    const float dt1 = uv[1][1] - uv[0][1];
    const float ds2 = uv[2][0] - uv[0][0];
    const float dt2 = uv[2][1] - uv[0][1];
    const float det = ds1 * dt2 - ds2 * dt1;
    if (det == 0.0f) {
        return;
    }
    face->tangent = (e1 * dt2 - e2 * dt1) / det;
    face->binormal = (e2 * ds1 - e1 * ds2) / det;
}

void QuadFace::triangulate(VertexList& out) const {
    std::array<Vertex*, 4> loop{};
    int k = 0;
    walkLoop(this, [&](Vertex* v) { loop[k++] = v; });
    out.insert(out.end(), {loop[0], loop[1], loop[2], loop[2], loop[3], loop[0]});
}

void TriFace::triangulate(VertexList& out) const {
    walkLoop(this, [&](Vertex* v) { out.push_back(v); });
}

Edge* findSharedEdge(const FaceBase* a, const FaceBase* b) {
    for (int i = 0; i < a->getEdgeCount(); ++i) {
        Edge* edge = a->getEdge(i);
        if (edge == nullptr) {
            continue;
        }
        for (int j = 0; j < b->getEdgeCount(); ++j) {
            if (b->getEdge(j) == edge) {
                return edge;
            }
        }
    }
    return nullptr;
}

} // namespace velmo
