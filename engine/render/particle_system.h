// Textured particle systems: up to a fixed number of camera-facing sprites kept in numbered
// slots, written into one dynamic vertex buffer and drawn with one draw call through the
// "Quad" effect, which expands each sprite around its centre in view space.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include <d3d9.h>
#include <d3dx9math.h>

#include "engine/scene/node.h"

namespace velmo {

class Texture;

// The interface of particle records; it declares nothing.
class IParticle {};

// One sprite: its size (world units), its opacity and its centre in world space.
class TextureParticle : public IParticle {
public:
    TextureParticle() = default;
    TextureParticle(float size, float alpha, float x, float y, float z)
        : size(size), alpha(alpha), x(x), y(y), z(z) {}

    float size = 0.0f;
    float alpha = 0.0f;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
static_assert(sizeof(TextureParticle) == 20);

// One corner of a sprite as the effect reads it (D3DFVF_XYZ | D3DFVF_TEX2): the particle's
// centre, the corner's texture coordinates, and the particle's alpha and size.
struct ParticleVertex {
    float x, y, z;
    float u, v;
    float alpha, size;
};
static_assert(sizeof(ParticleVertex) == 28);

class TextureParticleSystem : public INodeRenderable {
public:
    static constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_TEX2;
    static constexpr int kVerticesPerParticle = 6;
    static constexpr uint32_t kBytesPerParticle = kVerticesPerParticle * sizeof(ParticleVertex);
    // The corners of a sprite's two triangles, as texture coordinates.
    static constexpr float kCorners[kVerticesPerParticle][2] = {{0, 0}, {0, 1}, {1, 1},
                                                                {0, 0}, {1, 1}, {1, 0}};

    // Room for maxParticles live particles, drawn with texture (not owned). The vertex buffer
    // is made on the device state's device; without one (no device, no room, a failed
    // creation) the system keeps its particles but draws nothing.
    TextureParticleSystem(int maxParticles, Texture* texture);
    // Deletes the particles still held and releases the vertex buffer.
    ~TextureParticleSystem() override;

    // Stores p in a slot and returns the slot's index: the most recently freed slot when
    // there is one, else the next new slot. Returns -1 and stores nothing when the system is
    // full or p is null; the caller then keeps p.
    int allocParticle(TextureParticle* p);
    // Deletes the particle in slot index and frees the slot for reuse. An index that names no
    // live particle changes nothing.
    void freeParticle(int index);
    // Writes the six vertices of every live particle, in slot order and without gaps.
    void fillVertexBuffer();

    // Draws every live particle as seen by the camera of the current scene's root. The
    // particles are in world space already, so parentWorld is not used.
    void render(const D3DXMATRIX* parentWorld) override;
    // An empty box: the system keeps no bounds.
    float* getBounds() override { return bounds; }

    // Live particles.
    int count = 0;
    int capacity;
    // Never made: the draw binds no index buffer.
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    Texture* texture;
    // A freed slot holds null. Never longer than capacity.
    std::vector<TextureParticle*> slots;
    // Indices of freed slots; the back is the most recently freed.
    std::deque<int> freeIndices;

private:
    float bounds[6] = {};
};

} // namespace velmo
