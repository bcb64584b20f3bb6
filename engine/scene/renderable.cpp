#include "engine/scene/renderable.h"

#include <cmath>

#include "engine/platform/log.h"
#include "engine/resources/device_state.h"

namespace velmo {

BufferRenderable::~BufferRenderable() {
    if (renderTarget != nullptr) {
        Device::instance()->state->returnRenderTarget(renderTarget);
        renderTarget = nullptr;
    }
}

void BufferRenderable::render(float t) {
    const float moved = std::fabs(t - lastRenderTime);
    if (!(moved > 0.001f)) {
        return;
    }
    draw(t);
    lastRenderTime = t;
}

void BufferRenderable::forceRender(float t) {
    draw(t);
}

void BufferRenderable::draw(float t) {
    DeviceState* state = Device::instance()->state;
    if (renderTarget == nullptr) {
        renderTarget = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    }
    renderTarget->begin(0);
    if (state->device != nullptr) {
        lookUp(state->device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000,
                                    1.0f, 0));
    }
    renderContent(t);
    renderTarget->end();
}

void BufferRenderable::renderContent(float) {}

RenderTarget* BufferRenderable::getRenderTarget() {
    return renderTarget;
}

RenderTarget* BufferRenderable::extraTarget() {
    return nullptr;
}

RenderTarget* BufferRenderable::floatTarget() {
    return nullptr;
}

RenderTarget* BufferRenderable::colorTarget() {
    return nullptr;
}

} // namespace velmo
