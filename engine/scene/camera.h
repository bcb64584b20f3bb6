// Cameras: the view and projection a scene looks through. The only concrete
// camera is the perspective camera, whose aspect ratio is that of the window's letterbox
// viewport. Nothing is cached: every query recomputes from the public members.
#pragma once

#include <d3dx9math.h>

#include "engine/math/vector.h"

namespace velmo {

class TCamera {
public:
    virtual ~TCamera() = default;

    // The 4 x 4 view matrix.
    virtual D3DXMATRIX getView() const = 0;
    // The 4 x 4 projection matrix.
    virtual D3DXMATRIX getProjection() const = 0;
    // A copy of position.
    virtual Vec3 getPosition() const;
    // getView() * getProjection().
    virtual D3DXMATRIX getViewProjection() const;
    // Six clip planes (a, b, c, d), not normalised, in the order near, far, top, bottom, left,
    // right; a point p is inside a plane when a*p.x + b*p.y + c*p.z + d >= 0.
    virtual void getFrustum(float planes[6][4]) const = 0;
    // The same six planes for world * view * projection: in the object space of world.
    virtual void getObjectFrustum(float planes[6][4], const D3DXMATRIX& world) const = 0;
    // The kind of camera; 0 is the perspective camera.
    virtual int getType() const = 0;

    // The eye point in world space.
    Vec3 position{0.0f, 0.0f, 0.0f};
};

class PerspectiveCamera : public TCamera {
public:
    // Looks from (0, 0, 0) at (0, 0, 1) with up (0, 1, 0) and no roll.
    PerspectiveCamera(float fovY, float zNear, float zFar);

    // lookAtLH(position, target, up) * rotationZ(roll).
    D3DXMATRIX getView() const override;
    // perspectiveFovLH(fovY, aspect, zNear, zFar) with the letterbox viewport's aspect ratio
    // (m[3][3] = 1, so a view-space point gets w = z + 1).
    D3DXMATRIX getProjection() const override;
    void getFrustum(float planes[6][4]) const override;
    void getObjectFrustum(float planes[6][4], const D3DXMATRIX& world) const override;
    int getType() const override { return 0; }

    // The point looked at.
    Vec3 target{0.0f, 0.0f, 1.0f};
    // The up hint for the look-at.
    Vec3 up{0.0f, 1.0f, 0.0f};
    // Vertical field of view in radians.
    float fovY;
    float zNear;
    float zFar;
    // Rotation of the picture about the viewing axis, in radians.
    float roll = 0.0f;
};

// The six planes of the columns of m (see TCamera::getFrustum).
void frustumPlanes(const D3DXMATRIX& m, float planes[6][4]);

} // namespace velmo
