// Mesh modifiers: short-lived objects that edit a mesh's CPU geometry in place, leaving it the
// current copy so that the next draw uploads it.
#pragma once

namespace velmo {

class Mesh;

class IMeshModifier {
public:
    virtual ~IMeshModifier() = default;
    virtual void apply(Mesh* mesh) = 0;
};

namespace meshmodify {

// Writes generated texture coordinates into one set (0 or 1). The projection blends the three
// axis-aligned planar projections by the absolute components of each vertex normal.
class Texgen : public IMeshModifier {
public:
    Texgen(int channel, float scale) : scale(scale), channel(channel) {}
    void apply(Mesh* mesh) override;

    float scale;
    // 1: normal-weighted projection (the constructor's choice); 0: the plain (x + z, y + z).
    int mode = 1;
    int channel;
};

// Reverses every face's corner order, and so its winding and normal.
class InvertFaces : public IMeshModifier {
public:
    void apply(Mesh* mesh) override;
};

} // namespace meshmodify

} // namespace velmo
