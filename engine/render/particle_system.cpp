#include "engine/render/particle_system.h"

#include <cstdint>
#include <limits>

#include "engine/platform/log.h"
#include "engine/render/shader.h"
#include "engine/resources/device_state.h"
#include "engine/resources/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace velmo {

TextureParticleSystem::TextureParticleSystem(int maxParticles, Texture* texture)
    : capacity(maxParticles), texture(texture) {
    IDirect3DDevice9* device = Device::instance()->state->device;
    const uint64_t length = uint64_t(maxParticles > 0 ? maxParticles : 0) * kBytesPerParticle;
    if (device == nullptr || length == 0 || length > std::numeric_limits<UINT>::max()) {
        return;
    }
    if (FAILED(device->CreateVertexBuffer(UINT(length), D3DUSAGE_DYNAMIC, kFvf, D3DPOOL_DEFAULT,
                                          &vertexBuffer, nullptr))) {
        vertexBuffer = nullptr;
    }
}

TextureParticleSystem::~TextureParticleSystem() {
    for (TextureParticle* particle : slots) {
        delete particle;
    }
    if (vertexBuffer != nullptr) {
        vertexBuffer->Release();
    }
}

int TextureParticleSystem::allocParticle(TextureParticle* p) {
    if (p == nullptr) {
        return -1;
    }
    if (freeIndices.empty()) {
        if (count >= capacity) {
            return -1;
        }
        slots.push_back(p);
        return count++;
    }
    // Every freed slot lies below the slots' length, which never exceeds the capacity, so a
    // reused slot needs no capacity test.
    const int index = freeIndices.back();
    freeIndices.pop_back();
    slots[size_t(index)] = p;
    ++count;
    return index;
}

void TextureParticleSystem::freeParticle(int index) {
    // Freeing a slot twice would list it twice for reuse, and two particles would share it.
    if (index < 0 || size_t(index) >= slots.size() || slots[size_t(index)] == nullptr) {
        return;
    }
    delete slots[size_t(index)];
    slots[size_t(index)] = nullptr;
    freeIndices.push_back(index);
    --count;
}

void TextureParticleSystem::fillVertexBuffer() {
    if (vertexBuffer == nullptr) {
        return;
    }
    void* data = nullptr;
    // Size 0 (no live particles) locks the whole buffer; nothing is written then.
    if (FAILED(vertexBuffer->Lock(0, UINT(count) * kBytesPerParticle, &data, 0)) ||
        data == nullptr) {
        return;
    }
    auto* out = static_cast<ParticleVertex*>(data);
    for (const TextureParticle* p : slots) {
        if (p == nullptr) {
            continue;
        }
        for (const auto& corner : kCorners) {
            *out++ = {p->x, p->y, p->z, corner[0], corner[1], p->alpha, p->size};
        }
    }
    vertexBuffer->Unlock();
}

void TextureParticleSystem::render(const D3DXMATRIX* /*parentWorld*/) {
    IDirect3DDevice9* device = Device::instance()->state->device;
    if (device == nullptr || vertexBuffer == nullptr) {
        return;
    }
    fillVertexBuffer();

    TShader shader("Quad.fxo", "Quad");
    shader.setTexture("tex", texture);
    shader.setFloat("alpha", 0.1f);
    // Without a camera there is no view to put the sprites in.
    const TCamera* camera = currentScene != nullptr && currentScene->root != nullptr
                                ? currentScene->root->camera
                                : nullptr;
    if (camera == nullptr || shader.effect == nullptr) {
        return;
    }
    // The effect places each sprite around its view-space centre, then projects it.
    shader.setMatrix("worldViewProjection", camera->getProjection());
    shader.setMatrix("view", camera->getView());

    lookUp(device->SetFVF(kFvf));
    lookUp(device->SetStreamSource(0, vertexBuffer, 0, sizeof(ParticleVertex)));
    lookUp(device->SetIndices(indexBuffer));
    shader.begin();
    lookUp(shader.effect->BeginPass(0));
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, UINT(count) * 2);
    lookUp(shader.effect->EndPass());
    lookUp(shader.effect->End());
    shader.begun = false;
}

} // namespace velmo
