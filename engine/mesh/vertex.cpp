#include "engine/mesh/vertex.h"

namespace velmo {

void VertexBase::setPosition(float, float, float) {}
void VertexBase::setNormal(float, float, float) {}
void VertexBase::setUV0(float, float) {}
void VertexBase::setUV1(float, float) {}
void VertexBase::setReserved(void*) {}
void VertexBase::setUV(int, float, float) {}

float* Vertex::getUV(int set) {
    switch (set) {
    case 0:
        return uv0;
    case 1:
        return uv1;
    default:
        return nullptr;
    }
}

void Vertex::setPosition(float x, float y, float z) {
    position = Vec3{x, y, z};
}

void Vertex::setNormal(float x, float y, float z) {
    normal = Vec3{x, y, z};
}

void Vertex::setUV0(float u, float v) {
    uv0[0] = u;
    uv0[1] = v;
}

void Vertex::setUV1(float u, float v) {
    uv1[0] = u;
    uv1[1] = v;
}

void Vertex::setUV(int set, float u, float v) {
    if (float* uv = getUV(set)) {
        uv[0] = u;
        uv[1] = v;
    }
}

} // namespace velmo
