// Mesh generators: replace a mesh's geometry with a generated shape, CPU current.
#pragma once

#include "engine/math/vector.h"

namespace velmo {

class Mesh;

class MeshGenerator {
public:
    virtual void generate(Mesh* mesh) = 0;
    virtual ~MeshGenerator() = default;
};

namespace meshgen {

// An axis-aligned box from -halfSize to +halfSize: 8 corners, 12 edges each shared by two of
// its 6 quads, positions only.
class Cube : public MeshGenerator {
public:
    explicit Cube(const Vec3& halfSize) : halfSize(halfSize) {}
    void generate(Mesh* mesh) override;

    Vec3 halfSize;
};

} // namespace meshgen

} // namespace velmo
