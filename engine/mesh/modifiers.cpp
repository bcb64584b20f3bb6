#include "engine/mesh/modifiers.h"

#include <cmath>

#include "engine/mesh/mesh.h"

namespace velmo::meshmodify {

void Texgen::apply(Mesh* mesh) {
    VertexList* vertices = nullptr;
    mesh->editGeometry(&vertices, nullptr, nullptr);
    // The channel test asks the first vertex; with no vertices there is nothing to map.
    if (vertices->empty() || vertices->front()->getUV(channel) == nullptr) {
        return;
    }
    if (mode == 1) {
        mesh->refreshGeometry();
        for (Vertex* v : *vertices) {
            const Vec3& p = v->position;
            const Vec3& n = v->normal;
            const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
            const float w = ax + ay + az;
            // A vertex without a normal has no projection to blend; it keeps its coordinates.
            if (w == 0.0f) {
                continue;
            }
            const float k = scale * (1.0f / w);
            float* uv = v->getUV(channel);
            uv[0] = k * (p.x * az + (p.x + p.y) * ax + p.x * ay);
            uv[1] = k * ((p.y + p.z) * az + p.z * ax + p.z * ay);
        }
    } else {
        for (Vertex* v : *vertices) {
            const Vec3& p = v->position;
            float* uv = v->getUV(channel);
            uv[0] = (p.x + p.z) * scale;
            uv[1] = (p.y + p.z) * scale;
        }
    }
}

void InvertFaces::apply(Mesh* mesh) {
    FaceList* faces = nullptr;
    mesh->editGeometry(nullptr, nullptr, &faces);
    for (FaceBase*& face : *faces) {
        FaceBase* reversed = face->clone();
        const int n = face->getEdgeCount();
        for (int j = 0; j < n; ++j) {
            reversed->setEdge(j, face->getEdge(n - 1 - j));
        }
        delete face;
        face = reversed;
    }
}

} // namespace velmo::meshmodify
