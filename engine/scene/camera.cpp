#include "engine/scene/camera.h"

#include <cmath>

#include "engine/math/matrix.h"
#include "engine/platform/engine.h"

namespace velmo {

namespace {

// The aspect ratio (width / height) of the window's letterbox viewport; 1 when there is no
// window or the viewport is empty.
float letterboxAspect() {
    const Engine* engine = Engine::instance();
    if (engine == nullptr || engine->window == nullptr)
        return 1.0f;
    const D3DVIEWPORT9 viewport = engine->window->letterboxViewport();
    const uint32_t width = viewport.Width;
    const uint32_t height = viewport.Height;
    if (width == 0 || height == 0)
        return 1.0f;
    return static_cast<float>(width) / static_cast<float>(height);
}

} // namespace

void frustumPlanes(const D3DXMATRIX& m, float planes[6][4]) {
    for (int k = 0; k < 4; ++k) {
        const float c0 = m.m[k][0];
        const float c1 = m.m[k][1];
        const float c2 = m.m[k][2];
        const float c3 = m.m[k][3];
        planes[0][k] = c2;      // near
        planes[1][k] = c3 - c2; // far
        planes[2][k] = c3 - c1; // top
        planes[3][k] = c3 + c1; // bottom
        planes[4][k] = c3 + c0; // left
        planes[5][k] = c3 - c0; // right
    }
}

Vec3 TCamera::getPosition() const {
    return position;
}

D3DXMATRIX TCamera::getViewProjection() const {
    return multiplyMatrix(getView(), getProjection());
}

PerspectiveCamera::PerspectiveCamera(float fovY_, float zNear_, float zFar_)
    : fovY(fovY_), zNear(zNear_), zFar(zFar_) {}

D3DXMATRIX PerspectiveCamera::getView() const {
    const D3DXMATRIX look = lookAtLH(position, target, up);
    const D3DXMATRIX rollMatrix = rotationZ(roll);
    return multiplyMatrix(look, rollMatrix);
}

D3DXMATRIX PerspectiveCamera::getProjection() const {
    return perspectiveFovLH(fovY, letterboxAspect(), zNear, zFar);
}

void PerspectiveCamera::getFrustum(float planes[6][4]) const {
    frustumPlanes(multiplyMatrix(getView(), getProjection()), planes);
}

void PerspectiveCamera::getObjectFrustum(float planes[6][4], const D3DXMATRIX& world) const {
    const D3DXMATRIX worldView = multiplyMatrix(world, getView());
    frustumPlanes(multiplyMatrix(worldView, getProjection()), planes);
}

} // namespace velmo
