#include "engine/mesh/subdivide.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/mesh/mesh.h"
#include "engine/platform/log.h"
#include "engine/resources/device_state.h"

namespace velmo::meshmodify {

namespace {

// The clone of a source vertex in the result, made and appended on first use.
Vertex* cornerFor(Vertex* source, std::unordered_map<const Vertex*, Vertex*>& cornerOf,
                  VertexList& out) {
    auto [it, added] = cornerOf.emplace(source, nullptr);
    if (added) {
        it->second = source->clone();
        out.push_back(it->second);
    }
    return it->second;
}

bool shareVertex(const Edge* e, const Edge* f) {
    return e->a == f->a || e->a == f->b || e->b == f->a || e->b == f->b;
}

} // namespace

void Subdivide::apply(Mesh* mesh) {
    if (iterations <= 0) {
        return;
    }
    if (scratch == nullptr) {
        scratch = Device::instance()->state->createMesh();
    }
    Mesh* current = mesh;
    Mesh* other = scratch;
    for (int i = 0; i < iterations; ++i) {
        other->data->geometry->clear();
        other->data->syncState = MeshData::kCpuCurrent;
        subdivideOnce(current, splitOnly, other);
        std::swap(current, other);
    }
    if (current != mesh) {
        // An odd number of passes leaves the result in the scratch mesh.
        mesh->copyGeometryFrom(current);
        scratch = current;
    }
    // Normals and tangent frames of the new geometry are computed again when next needed.
    MeshGeometry& store = *mesh->data->geometry;
    store.vertexNormalsValid = false;
    store.faceNormalsValid = false;
    store.tangentFramesValid = false;
}

void Subdivide::subdivideOnce(Mesh* source, int splitOnly, Mesh* destination) {
    const bool smooth = splitOnly == 0;
    VertexList* outVertices = nullptr;
    EdgeList* outEdges = nullptr;
    FaceList* outFaces = nullptr;
    destination->editGeometry(&outVertices, &outEdges, &outFaces);
    const FaceList& faces = *source->faces();
    const EdgeList& edges = *source->edges();
    const VertexList& vertices = *source->vertices();

    std::unordered_map<const Vertex*, Vertex*> cornerOf;
    std::unordered_map<const Edge*, Vertex*> edgePointOf;
    std::unordered_map<const Edge*, std::pair<Edge*, Edge*>> halvesOf;
    std::unordered_map<const Vertex*, std::vector<Vec3>> vertexMids;
    std::unordered_map<const Edge*, std::array<const Vertex*, 2>> edgeFaces;
    std::unordered_map<const Vertex*, std::vector<const Vertex*>> vertexFaces;

    // Edges: corners on first use, the edge point and the two half edges.
    for (const Edge* e : edges) {
        if (e->a == nullptr || e->b == nullptr) {
            continue;
        }
        Vertex* a = cornerFor(e->a, cornerOf, *outVertices);
        Vertex* b = cornerFor(e->b, cornerOf, *outVertices);
        Vertex* m = a->clone();
        outVertices->push_back(m);
        m->position = a->position + b->position;
        m->position /= 2.0f;
        for (int set = 0; set < 2; ++set) {
            float* uvM = m->getUV(set);
            const float* uvA = a->getUV(set);
            const float* uvB = b->getUV(set);
            if (uvM != nullptr && uvA != nullptr && uvB != nullptr) {
                uvM[0] = (uvA[0] + uvB[0]) * 0.5f;
                uvM[1] = (uvA[1] + uvB[1]) * 0.5f;
            }
        }
        edgePointOf[e] = m;
        auto* h1 = new Edge{a, m, nullptr, nullptr};
        auto* h2 = new Edge{m, b, nullptr, nullptr};
        halvesOf[e] = {h1, h2};
        outEdges->push_back(h1);
        outEdges->push_back(h2);
        if (smooth) {
            vertexMids[a].push_back(m->position);
            vertexMids[b].push_back(m->position);
        }
    }

    // Faces: the face point, a spoke per edge and a quad per corner.
    VertexList loop;
    std::unordered_map<const Edge*, Edge*> spokeOf;
    for (const FaceBase* f : faces) {
        const int n = f->getEdgeCount();
        bool complete = true;
        for (int k = 0; k < n; ++k) {
            complete = complete && halvesOf.count(f->getEdge(k)) != 0;
        }
        loop.clear();
        FaceBase::appendVertexLoop(f, loop);
        for (const Vertex* v : loop) {
            complete = complete && v != nullptr && cornerOf.count(v) != 0;
        }
        // A face whose edges are not among the source's edges cannot be split.
        if (!complete) {
            fatalError(fatal::kFaceNotInSource);
            continue;
        }
        Vertex* g = loop[0]->clone();
        g->position = Vec3(0.0f, 0.0f, 0.0f);
        float uvSum[2][2] = {{0.0f, 0.0f}, {0.0f, 0.0f}};
        for (Vertex* v : loop) {
            g->position += v->position;
            for (int set = 0; set < 2; ++set) {
                if (const float* uv = v->getUV(set)) {
                    uvSum[set][0] += uv[0];
                    uvSum[set][1] += uv[1];
                }
            }
        }
        g->position /= float(n);
        for (int set = 0; set < 2; ++set) {
            if (float* uv = g->getUV(set)) {
                uv[0] = uvSum[set][0] / float(n);
                uv[1] = uvSum[set][1] / float(n);
            }
        }
        outVertices->push_back(g);
        if (smooth) {
            for (const Vertex* v : loop) {
                vertexFaces[cornerOf[v]].push_back(g);
            }
        }

        spokeOf.clear();
        for (int k = 0; k < n; ++k) {
            const Edge* ek = f->getEdge(k);
            auto* spoke = new Edge{halvesOf[ek].first->b, g, nullptr, nullptr};
            outEdges->push_back(spoke);
            spokeOf[ek] = spoke;
            if (smooth) {
                auto [it, added] = edgeFaces.emplace(ek, std::array<const Vertex*, 2>{});
                auto& slots = it->second;
                if (slots[0] == nullptr) {
                    slots[0] = g;
                } else if (slots[1] == nullptr) {
                    slots[1] = g;
                } else {
                    fatalError(fatal::kAdjacencyEntryFull);
                }
            }
        }

        for (int k = 0; k < n; ++k) {
            const Edge* ek = f->getEdge(k);
            const Edge* next = f->getEdge((k + 1) % n);
            const auto [e1, e2] = halvesOf[ek];
            const auto [n1, n2] = halvesOf[next];
            const std::pair<Edge*, Edge*> candidates[4] = {{e1, n1}, {e1, n2}, {e2, n1}, {e2, n2}};
            const std::pair<Edge*, Edge*>* corner = nullptr;
            for (const auto& c : candidates) {
                if (shareVertex(c.first, c.second)) {
                    corner = &c;
                    break;
                }
            }
            // Consecutive edges that do not meet leave no corner to build a quad at.
            if (corner == nullptr) {
                fatalError(fatal::kCornerEdgesShareNoVertex);
                continue;
            }
            outFaces->push_back(
                new QuadFace(corner->first, corner->second, spokeOf[next], spokeOf[ek]));
        }
    }

    if (!smooth) {
        return;
    }
    // Edge points: the average of the edge's ends and its two face points. An edge with fewer
    // than two faces (an open border) keeps its midpoint.
    for (const Edge* e : edges) {
        auto point = edgePointOf.find(e);
        auto around = edgeFaces.find(e);
        if (point == edgePointOf.end() || around == edgeFaces.end() ||
            around->second[1] == nullptr) {
            continue;
        }
        Vec3 p = e->a->position + e->b->position;
        p += around->second[0]->position;
        p += around->second[1]->position;
        p /= 4.0f;
        point->second->position = p;
    }
    // Corners: (F + 2R + (n - 3)P) / n over the n faces around the vertex. A vertex on no face
    // keeps its position.
    for (const Vertex* v : vertices) {
        auto corner = cornerOf.find(v);
        if (corner == cornerOf.end()) {
            continue;
        }
        Vertex* c = corner->second;
        const std::vector<const Vertex*>& around = vertexFaces[c];
        const std::vector<Vec3>& mids = vertexMids[c];
        const size_t n = around.size();
        if (n == 0) {
            continue;
        }
        Vec3 f(0.0f, 0.0f, 0.0f);
        for (const Vertex* g : around) {
            f += g->position;
        }
        f /= float(n);
        Vec3 r(0.0f, 0.0f, 0.0f);
        const size_t used = std::min(n, mids.size());
        for (size_t i = 0; i < used; ++i) {
            r += mids[i];
        }
        if (used > 0) {
            r /= float(used);
        }
        Vec3 p = c->position * (float(n) - 3.0f);
        p += f;
        p += r * 2.0f;
        p /= float(n);
        c->position = p;
    }
}

} // namespace velmo::meshmodify
