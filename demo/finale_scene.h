// The last timed scene: twenty chains hanging from one anchor inside a large generated room,
// their anchors swinging along a path of sums of sines after ten seconds, a statue following
// the anchors' mean, and a camera circling the scene while aiming at the nearest part of the
// chains. The picture goes through motion blur, HSV and mapped distortion over the back buffer.
#pragma once

#include "engine/math/vector.h"

namespace velmo {
class INode;
class MeshInstance;
class MeshLoader;
class NodePointlight;
class PerspectiveCamera;
class Scene;
} // namespace velmo

extern velmo::Scene* finaleScene;
extern velmo::PerspectiveCamera* finaleCamera;
extern velmo::MeshLoader* finaleLoader;
extern velmo::MeshInstance* roomBox;
extern velmo::INode* libertyModel;
extern velmo::NodePointlight* cameraLight;
extern velmo::NodePointlight* chainLight;
// The sum of the time steps of the finale's ticks.
extern float finaleClock;
// The demo time up to which the chains have been stepped; set by the first frame.
extern float physicsClock;

void buildFinaleScene();
void updateFinaleScene(float timeStep, float t);
void renderFinaleScene(float t);
// Draws the scene and its stages once as at 155 s over the current target, leaving every
// state of the scene and of the chains as it was (velmo::Scene::warm).
void warmFinaleScene();

// The anchors' drive for one tick at demo time t with chain point 0 at p0: zero until the
// finale's clock passes 10 s.
velmo::Vec3 finaleAnchorDrive(float clock, float t, const velmo::Vec3& p0);
// The statue's world matrix for the drive V and the anchors' mean M: its Y axis along the
// drive (straight up for a vanishing drive), standing at M.
D3DXMATRIX finaleStatueFrame(const velmo::Vec3& drive, const velmo::Vec3& mean);
// The camera's eye point at demo time t.
velmo::Vec3 finaleCameraEye(float t);
// The point the camera aims at: the chain points weighted by the inverse square of their
// distance from eye. A point at the eye counts as 1e-6 away; when the weights give no finite
// point, previous is kept.
velmo::Vec3 finaleCameraTarget(const velmo::Vec3& eye, const velmo::Vec3& previous);
