#pragma once

#include <vector>

#include "engine/math/vector.h"

namespace velmo {

class FaceBase;

// The abstract vertex of editable mesh geometry. Attribute getters return pointers into the
// vertex so that callers can read and write in place; a null pointer means that this vertex
// kind has no such attribute, and callers test for it before use.
class VertexBase {
public:
    VertexBase() = default;
    VertexBase(const VertexBase&) = default;
    VertexBase& operator=(const VertexBase&) = default;
    virtual ~VertexBase() = default;

    virtual Vec3* getPosition() { return nullptr; }
    virtual Vec3* getNormal() { return nullptr; }
    virtual float* getUV0() { return nullptr; }
    virtual float* getUV1() { return nullptr; }
    virtual float* getUV(int set) {
        (void)set;
        return nullptr;
    }
    // A slot that no vertex kind gives a meaning; kept so that every kind has the same interface.
    virtual void* getReserved() { return nullptr; }
    virtual Vec3* getTangent() { return nullptr; }
    virtual Vec3* getBinormal() { return nullptr; }

    virtual void setPosition(float x, float y, float z);
    virtual void setNormal(float x, float y, float z);
    virtual void setUV0(float u, float v);
    virtual void setUV1(float u, float v);
    virtual void setReserved(void* value);
    virtual void setUV(int set, float u, float v);

    // Size of the whole vertex object in bytes; the part after VertexBase is what the GPU gets.
    virtual int byteSize() const = 0;
    virtual VertexBase* clone() const = 0;

    // The faces that use this vertex (not owned). Vertices are made with it empty; copies carry
    // it as it stands.
    std::vector<FaceBase*> faces;
};

// The engine's one vertex kind. Its six attributes form one contiguous 64-byte block in the
// order of the GPU vertex record, so the upload copies the block as it is.
class Vertex : public VertexBase {
public:
    Vertex() = default;
    Vertex(float x, float y, float z) : position{x, y, z} {}
    Vertex(const Vertex&) = default;
    Vertex& operator=(const Vertex&) = default;

    Vec3* getPosition() override { return &position; }
    Vec3* getNormal() override { return &normal; }
    float* getUV0() override { return uv0; }
    float* getUV1() override { return uv1; }
    float* getUV(int set) override;
    Vec3* getTangent() override { return &tangent; }
    Vec3* getBinormal() override { return &binormal; }

    void setPosition(float x, float y, float z) override;
    void setNormal(float x, float y, float z) override;
    void setUV0(float u, float v) override;
    void setUV1(float u, float v) override;
    void setUV(int set, float u, float v) override;

    int byteSize() const override { return static_cast<int>(sizeof(Vertex)); }
    Vertex* clone() const override { return new Vertex(*this); }

    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 normal{0.0f, 0.0f, 0.0f};
    float uv0[2] = {0.0f, 0.0f};
    float uv1[2] = {0.0f, 0.0f};
    Vec3 tangent{0.0f, 0.0f, 0.0f};
    Vec3 binormal{0.0f, 0.0f, 0.0f};
};

// Bytes per GPU vertex: the attribute block of a Vertex.
inline constexpr int kVertexAttributeBytes = 64;

static_assert(sizeof(Vec3) == 12, "a vertex attribute vector is three packed floats");
static_assert(sizeof(Vertex) - sizeof(VertexBase) == kVertexAttributeBytes,
              "the vertex attributes must form one unpadded 64-byte block");

using VertexList = std::vector<Vertex*>;

} // namespace velmo
