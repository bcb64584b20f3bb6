#include "engine/resources/device_state.h"

#include "engine/resources/texture.h"

namespace velmo {

Device* Device::instance() {
    static Device* device = new Device;
    return device;
}

Texture* Device::loadTexture(const std::string& name) { return instance()->state->loadTexture(name); }

Texture* DeviceState::loadTexture(const std::string& name) {
    auto* texture = new Texture;
    texture->load(name);
    textures.insert(texture);
    return texture;
}

void DeviceState::releaseAll() {
    for (Texture* texture : textures) {
        delete texture;
    }
    textures.clear();
    if (device != nullptr) {
        device->Release();
        device = nullptr;
    }
}

} // namespace velmo
