#include "engine/platform/engine.h"

#include "engine/resources/device_state.h"

namespace velmo {

namespace {
Engine* engineInstance = nullptr;
}

Engine::Engine() : window(new Window) {
    window->direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    engineInstance = this;
}

Engine::~Engine() {
    delete window;
    if (engineInstance == this) {
        engineInstance = nullptr;
    }
}

Engine* Engine::instance() { return engineInstance; }

bool Engine::init(const DisplaySettings& settings) {
    window->settings = settings;
    window->createWindow(window->settings);
    if (window->window == nullptr) {
        return false;
    }
    window->createDevice(window->settings);
    return Device::instance()->state->device != nullptr;
}

} // namespace velmo
