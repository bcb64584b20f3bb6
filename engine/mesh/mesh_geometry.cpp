#include "engine/mesh/mesh_geometry.h"

#include <unordered_map>

namespace velmo {

namespace {

void deleteAll(VertexList& list) {
    for (Vertex* v : list) {
        delete v;
    }
    list.clear();
}

void deleteAll(EdgeList& list) {
    for (Edge* e : list) {
        delete e;
    }
    list.clear();
}

void deleteAll(FaceList& list) {
    for (FaceBase* f : list) {
        delete f;
    }
    list.clear();
}

template <class T> T* lookup(const std::unordered_map<const T*, T*>& map, const T* key) {
    auto it = map.find(key);
    return it != map.end() ? it->second : nullptr;
}

// Divides v by its length; a zero-length vector stays zero.
void normalizeOrKeepZero(Vec3& v) {
    const float length = vecLength(v);
    if (length != 0.0f) {
        v /= length;
    }
}

} // namespace

MeshGeometry::~MeshGeometry() {
    clear();
}

void MeshGeometry::clear() {
    deleteAll(vertices);
    deleteAll(edges);
    deleteAll(faces);
}

void MeshGeometry::assign(const VertexList* newVertices, const EdgeList* newEdges,
                          const FaceList* newFaces) {
    if (newVertices != nullptr || newEdges != nullptr || newFaces != nullptr) {
        vertexNormalsValid = false;
        faceNormalsValid = false;
        tangentFramesValid = false;
    }
    replaceLists(newVertices, newEdges, newFaces);
}

void MeshGeometry::copyFrom(const MeshGeometry& other) {
    if (&other == this) {
        return;
    }
    clear();
    replaceLists(&other.vertices, &other.edges, &other.faces);
}

// The copies are built in full before the old elements are deleted, so a source list may be one
// of this store's own lists.
void MeshGeometry::replaceLists(const VertexList* newVertices, const EdgeList* newEdges,
                                const FaceList* newFaces) {
    std::unordered_map<const Vertex*, Vertex*> vertexMap;
    std::unordered_map<const Edge*, Edge*> edgeMap;

    VertexList vertexCopies;
    if (newVertices != nullptr) {
        vertexCopies.reserve(newVertices->size());
        vertexMap.reserve(newVertices->size());
        for (const Vertex* source : *newVertices) {
            Vertex* copy = source->clone();
            vertexCopies.push_back(copy);
            vertexMap.emplace(source, copy);
        }
    }

    EdgeList edgeCopies;
    if (newEdges != nullptr) {
        edgeCopies.reserve(newEdges->size());
        edgeMap.reserve(newEdges->size());
        for (const Edge* source : *newEdges) {
            Edge* copy = new Edge(*source);
            copy->a = lookup(vertexMap, source->a);
            copy->b = lookup(vertexMap, source->b);
            edgeCopies.push_back(copy);
            edgeMap.emplace(source, copy);
        }
    }

    FaceList faceCopies;
    if (newFaces != nullptr) {
        faceCopies.reserve(newFaces->size());
        for (const FaceBase* source : *newFaces) {
            FaceBase* copy = source->clone();
            for (int i = 0; i < source->getEdgeCount(); ++i) {
                copy->setEdge(i, lookup(edgeMap, source->getEdge(i)));
            }
            faceCopies.push_back(copy);
        }
    }

    if (newVertices != nullptr) {
        deleteAll(vertices);
        vertices = std::move(vertexCopies);
    }
    if (newEdges != nullptr) {
        deleteAll(edges);
        edges = std::move(edgeCopies);
    }
    if (newFaces != nullptr) {
        deleteAll(faces);
        faces = std::move(faceCopies);
    }
}

void MeshGeometry::computeFaceNormals() {
    if (faceNormalsValid) {
        return;
    }
    for (FaceBase* face : faces) {
        FaceBase::computeNormal(face);
    }
    faceNormalsValid = true;
}

void MeshGeometry::computeFaceTangentFrames() {
    for (FaceBase* face : faces) {
        FaceBase::computeTangentFrame(face);
    }
}

bool MeshGeometry::computeNormals() {
    if (vertices.empty() || vertices.front()->getNormal() == nullptr || vertexNormalsValid) {
        return false;
    }
    for (Vertex* v : vertices) {
        if (Vec3* n = v->getNormal()) {
            zeroVector3(*n);
        }
    }
    computeFaceNormals();
    VertexList loop;
    for (const FaceBase* face : faces) {
        loop.clear();
        FaceBase::appendVertexLoop(face, loop);
        for (Vertex* v : loop) {
            Vec3* n = v != nullptr ? v->getNormal() : nullptr;
            if (n != nullptr) {
                *n += face->normal;
            }
        }
    }
    for (Vertex* v : vertices) {
        if (Vec3* n = v->getNormal()) {
            normalizeOrKeepZero(*n);
        }
    }
    vertexNormalsValid = true;
    return true;
}

void MeshGeometry::computeTangents() {
    if (vertices.empty() || vertices.front()->getTangent() == nullptr ||
        vertices.front()->getBinormal() == nullptr || tangentFramesValid) {
        return;
    }
    for (Vertex* v : vertices) {
        if (Vec3* t = v->getTangent()) {
            zeroVector3(*t);
        }
        if (Vec3* b = v->getBinormal()) {
            zeroVector3(*b);
        }
    }
    computeFaceTangentFrames();
    VertexList loop;
    for (const FaceBase* face : faces) {
        loop.clear();
        FaceBase::appendVertexLoop(face, loop);
        for (Vertex* v : loop) {
            if (v == nullptr) {
                continue;
            }
            if (Vec3* t = v->getTangent()) {
                *t += face->tangent;
            }
            if (Vec3* b = v->getBinormal()) {
                *b += face->binormal;
            }
        }
    }
    for (Vertex* v : vertices) {
        if (Vec3* t = v->getTangent()) {
            normalizeOrKeepZero(*t);
        }
        if (Vec3* b = v->getBinormal()) {
            normalizeOrKeepZero(*b);
        }
    }
    tangentFramesValid = true;
}

} // namespace velmo
