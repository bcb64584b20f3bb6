#pragma once

#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

#include <d3d9.h>

namespace velmo {

class IDData;
class Mesh;
class RenderTarget;
class Texture;

// The engine's record of the Direct3D device and of every mesh, texture and render target
// made through it, so that all of them can be freed at exit, and the pool of render targets
// that renderables borrow and give back.
class DeviceState {
public:
    // Loads a texture from the bytes the file cache holds for the name; registered, returned
    // even when loading failed (standard error names a failed name once). Every call makes a
    // new texture.
    Texture* loadTexture(const std::string& name);
    // Frees a texture loadTexture made before releaseAll does, for one no frame draws again
    // (the loading picture). One not registered here is left alone.
    void releaseTexture(Texture* texture);

    // A new target of that size and format, registered but not pooled.
    RenderTarget* createRenderTarget(uint32_t width, uint32_t height, D3DFORMAT format);
    // A target of the letterbox size and the format for the caller's exclusive use: the first
    // match among the free targets, else a new one.
    RenderTarget* acquireRenderTarget(D3DFORMAT format);
    // Gives a borrowed target back to the end of the free list.
    void returnRenderTarget(RenderTarget* target);

    // A new, empty mesh (no size hints), registered so that releaseAll frees it.
    Mesh* createMesh();

    // Frees the meshes, the textures and the render targets (each set in ascending order of
    // address), empties the pool, then releases the device.
    void releaseAll();

    IDirect3DDevice9* device = nullptr;
    std::vector<IDData*> tweakables;
    std::set<Mesh*> meshes;
    std::set<Texture*> textures;
    std::set<RenderTarget*> renderTargets;
    std::list<RenderTarget*> freeRenderTargets;

private:
    // The names whose textures failed to load and have been named on standard error.
    std::set<std::string> emptyTextureNames;
};

// The process-wide access point to the device state, created on first use.
class Device {
public:
    static Device* instance();
    static Texture* loadTexture(const std::string& name);

    DeviceState* state = nullptr;

private:
    Device() : state(new DeviceState) {}
};

} // namespace velmo
