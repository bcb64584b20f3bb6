#include "engine/resources/device_state.h"

#include <cstdio>

#include "engine/mesh/mesh.h"
#include "engine/platform/engine.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"

namespace velmo {

Device* Device::instance() {
    static Device* device = new Device;
    return device;
}

Texture* Device::loadTexture(const std::string& name) {
    return instance()->state->loadTexture(name);
}

Texture* DeviceState::loadTexture(const std::string& name) {
    auto* texture = new Texture;
    texture->load(name);
    textures.insert(texture);
    // Materials then draw without it; standard error names it once, however many use it.
    if (!texture->isLoaded() && emptyTextureNames.insert(name).second) {
        const FileCacheEntry* file = FileCache::instance()->find(name);
        if (file == nullptr) {
            std::fprintf(stderr, "velmo 08: the texture %s is left empty: its file was not read\n",
                         name.c_str());
        } else {
            std::fprintf(stderr,
                         "velmo 08: the texture %s is left empty: its %u bytes are no "
                         "image that can be read\n",
                         name.c_str(), file->size);
        }
    }
    return texture;
}

void DeviceState::releaseTexture(Texture* texture) {
    if (textures.erase(texture) != 0) {
        delete texture;
    }
}

RenderTarget* DeviceState::createRenderTarget(uint32_t width, uint32_t height, D3DFORMAT format) {
    auto* target = new RenderTarget;
    target->create(width, height, format);
    renderTargets.insert(target);
    return target;
}

RenderTarget* DeviceState::acquireRenderTarget(D3DFORMAT format) {
    const D3DVIEWPORT9 letterbox = Engine::instance()->window->letterboxViewport();
    for (auto it = freeRenderTargets.begin(); it != freeRenderTargets.end(); ++it) {
        RenderTarget* target = *it;
        if (target != nullptr && target->getWidth() == letterbox.Width &&
            target->getHeight() == letterbox.Height && target->getFormat() == format) {
            freeRenderTargets.erase(it);
            return target;
        }
    }
    return createRenderTarget(letterbox.Width, letterbox.Height, format);
}

void DeviceState::returnRenderTarget(RenderTarget* target) {
    freeRenderTargets.push_back(target);
}

Mesh* DeviceState::createMesh() {
    auto* mesh = new Mesh(0, 0);
    meshes.insert(mesh);
    return mesh;
}

void DeviceState::releaseAll() {
    // Meshes come first: they release their buffers while the device still exists.
    for (Mesh* mesh : meshes) {
        delete mesh;
    }
    meshes.clear();
    for (Texture* texture : textures) {
        delete texture;
    }
    textures.clear();
    for (RenderTarget* target : renderTargets) {
        delete target;
    }
    renderTargets.clear();
    freeRenderTargets.clear();
    if (device != nullptr) {
        device->Release();
        device = nullptr;
    }
}

} // namespace velmo
