// The block-and-house scene (52 to 128.5 s): the house in a ring of seven block arms that
// wobble at random, seen by a camera that orbits it and, while the music is intense, lifts and
// tilts with the upper spectrum band; the light rides with the camera. Its picture goes through
// an HSV grade and a distortion driven by the scene's blur map and is laid over the back
// buffer, on which the text overlay was drawn before.
//
// The update and the render draw from the demo's one random generator in a fixed order, so
// the overlay's draws, which come between, see the same sequence whatever this scene does with
// its values.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/math/vector.h"

namespace velmo {
class DummyNode;
class INode;
class MeshInstance;
class NodePointlight;
class PerspectiveCamera;
class Scene;
class Texture;
} // namespace velmo

// Everything below is made by buildHouseScene unless said otherwise.
extern velmo::Scene* houseScene;
// Field of view 1.3, planes 1 and 200.
extern velmo::PerspectiveCamera* houseCamera;
// The block model, loaded for this scene alone; one root serves every level of the arm.
// Null when the file yields no model (the arm is then built without blocks).
extern velmo::INode* houseBlockModel;
// The house; null when the file yields no model (the scene is then built without it).
extern velmo::INode* taloModel;
// The arm's block holders, innermost first, each named "kilinvittu"; each holds the block
// model and then the next holder. The one arm hangs under all seven ring nodes.
extern velmo::DummyNode* armNodes[4];
// A fifth, empty "kilinvittu" under armNodes[3].
extern velmo::DummyNode* armTip;
// The house's chamfered part, found once by its name "ChamferCyl01"; null when the house has
// no such part or it is not a mesh instance (then it keeps its looks and never flickers).
extern velmo::MeshInstance* chamferPart;
// [0] the chamfered part's own texture, [1] "data/sali2.jpg": the two the part flickers between.
extern velmo::Texture* chamferTextures[2];
// The point light that follows the camera.
extern velmo::NodePointlight* houseLight;
// Angle offset of the camera orbit: 9 until the first random jump, then 10 or 7.
extern float cameraSwing;
// Lifts and tilts the camera; 0 keeps it upright on its widest circle.
extern float cameraLift;
// The t of the previous update; not a number until the first update.
extern float houseLastTime;

void buildHouseScene();
// One 50 ms tick at demo time t (52 <= t < 128.5).
void updateHouseScene(float t);
// One frame at demoTime.
void renderHouseScene();
// Draws the scene and its stages once as at 52 s over the current target, leaving every
// state of the scene as it was (velmo::Scene::warm) and drawing nothing from the generator.
void warmHouseScene();
// Frees the scenes, the camera and the nodes the builder made (not the loaded models).
void freeHouseScene();

// Where the camera is and looks, for demo time t, orbit offset swing and lift.
struct HouseCameraPose {
    velmo::Vec3 position;
    velmo::Vec3 target;
    velmo::Vec3 up;
};

// The orbit angle (sin(t / 10) * 0.5 + swing) * 0.4, in single precision.
float houseOrbitAngle(float t, float swing);
// On a circle of radius (0.7 - 0.5 * lift) * 35 at height cos(t / 6) * 0.7 + 2.9 + 18 * lift,
// looking at (0, -2 * (lift + 1), 0); upright when lift is exactly 0, else tilted 45 degrees.
HouseCameraPose houseCameraPose(float t, float swing, float lift);
// The sum of bins 52 to 63 of a spectrum row, in ascending order, in single precision.
float upperBandEnergy(const float* row);
// 10 / e truncated toward zero to a 32-bit integer; none when the quotient is not finite or
// does not fit (e is 0, tiny, or not a number).
std::optional<int32_t> kickQuotient(float e);

// The HSV stage's saturation and value for a spectrum row.
struct HouseGrade {
    float saturation;
    float value;
};
// Saturation 0.5 + (4 * bin 1)^2 and value 1 - 10 * upperBandEnergy while intense; otherwise
// saturation 0.5 + half of (4 * bin 1)^2 and value 1.
HouseGrade houseGrade(const float* row, bool intense);
