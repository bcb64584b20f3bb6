// The intro: the first 52 seconds of the production. A camera flies along two curves over a
// town inside a sky shell; the event's logo twists above the town between two point lights, a
// flying mobile carries the year "2008" and trails smoke, and the town's cut-out planes and
// lamp glows are blended in. The picture fades in through an HSV stage, then passes a motion
// blur and two mapped distortions that follow the treble and grow after 47 s.
#pragma once

#include "engine/math/vector.h"

namespace velmo {
class INode;
class DummyNode;
class PerspectiveCamera;
class Scene;
class Spline;
class TShader;
class Texture;
class TextureParticle;
} // namespace velmo
class ParticleSystem2;

// The scene's objects, made by buildIntroScene and kept until exit; freeIntroScene frees
// only the two camera paths. A model whose file did not load stays null.
extern velmo::Spline* introEyePath;
extern velmo::Spline* introTargetPath;
extern velmo::Scene* introScene;
extern velmo::PerspectiveCamera* introCamera;
extern velmo::INode* skyModel;
extern velmo::INode* logoModel;
// Sets the logo's twist ("disM", "axis") on the shared solid-object effect.
extern velmo::TShader* twirlShader;
extern velmo::DummyNode* yearText;
extern velmo::INode* mobileModel;
extern velmo::INode* townModel;
extern velmo::INode* lampsModel;
extern velmo::Texture* smogTexture;
extern ParticleSystem2* introParticles;

// Loads the models and builds the scene, its lights and the smoke; once, during loading.
void buildIntroScene();
// One fixed tick at demo time t: advances the scene by the time since the previous tick,
// emits five smoke puffs at the mobile's tail, moves the camera, the mobile and its parts,
// and sets the logo's twist and colours from the time and the bass. Nothing before the build.
void updateIntroScene(float timeStep, float t);
// Renders the scene at t through the fade-in, the motion blur and the two distortions, and
// lays the result over the back buffer. Nothing before the build.
void renderIntroScene(float t);
// Draws the scene and its stages once as at t = 0 over the current target, leaving every
// state of the scene as it was (velmo::Scene::warm). Nothing before the build.
void warmIntroScene();
// Frees the camera paths.
void freeIntroScene();

// The camera's eye for a point of the eye path, read as (angle parameter, radius, height).
velmo::Vec3 introEyeAt(const velmo::Vec3& pathPoint);
// The point the camera looks at, for a height from the target path and the time.
velmo::Vec3 introTargetAt(float height, float t);
// How strongly the logo twists at t before the bass is added: (48 - t) / 26, never below
// 0.1 / 26, and 0.1 once t passes 47.9.
float introTwistAt(float t);

// The strengths of the picture stages at time t for a spectrum row of 64 bins.
struct IntroStages {
    // The HSV value: the fade-in from black over the first 10 s, then 0.9.
    float value;
    // Grows by 0.002 per second after 47 s.
    float late;
    // The factors of the two distortions: the blur's own picture as the map, then the
    // scene's colour target as the map.
    float distortion;
    float mapDistortion;
};
IntroStages introStagesAt(float t, const float* spectrumRow);

// A new smoke puff for the bass (the squared first spectrum bin): its size and alpha grow
// with the bass, and its position lies within 2.5 of the emitter on each axis, from three
// draws of the demo's generator.
velmo::TextureParticle* makeSmokeParticle(float bass, const velmo::Vec3& emitter);
