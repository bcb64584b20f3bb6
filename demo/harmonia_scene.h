// The harmonia scene: a ball with strings that swells through a projective lens with the bass,
// inside an arrangement re-derived every frame from one fixed seed (creatures, smoking pipes,
// hanging chains swinging with the pulse), a camera orbiting and jumping between near and far
// on loud bass, and one programme line sliding past in the shared text scene over it.
#pragma once

#include <vector>

#include <d3d9.h>
#include <d3dx9math.h>

namespace velmo {
class DummyNode;
class INode;
class MeshInstance;
class NodePointlight;
class PerspectiveCamera;
class Scene;
} // namespace velmo
namespace Ef2 {
class SPSystem;
}

// The arrangement: every node is built once; its transforms are re-derived every frame.
struct HarmoniaLayout {
    velmo::DummyNode* root = nullptr;
    std::vector<velmo::INode*> chainHeads;
    std::vector<velmo::INode*> chainNodes;
    std::vector<velmo::INode*> pipes;
    std::vector<velmo::INode*> lolos;
};

extern HarmoniaLayout harmoniaLayout;
extern velmo::Scene* harmoniaMainScene;
extern velmo::PerspectiveCamera* harmoniaMainCamera;
extern velmo::INode* harmoniaModel;
extern Ef2::SPSystem* harmoniaParticles;
extern velmo::NodePointlight* harmoniaCameraLight;
extern velmo::INode* harmoniaTextNodes[4];
// The bass pulse and the camera's distance switch (0 far, 1 near).
extern float harmoniaPulse;
extern int harmoniaCameraClose;

// Builds the arrangement into empty lists from the seed 8383; the spawners feed
// harmoniaParticles.
void buildHarmoniaLayout(HarmoniaLayout& layout);
void buildHarmoniaScene();
void updateHarmoniaScene(float t);
// Turns node and the chain below it by the pulse: depth counts the nodes above it.
void swingChain(int depth, velmo::INode* node, float rate, float offset);
void renderHarmoniaScene();
// Draws the main scene, the text scene and the stages once as at 128.5 s over the current
// target, leaving every state of the scenes as it was (velmo::Scene::warm).
void warmHarmoniaScene();

// The weighted bass energy of a spectrum row: sum of (25 - i) * row[i] over bins 0 to 24.
float harmoniaBassEnergy(const float* row);
// The lens's aspect ratio: the viewport's width over its height in whole numbers, as the lens
// was tuned with; 1 for a viewport without height.
float harmoniaLensAspect(const D3DVIEWPORT9& viewport);
// The ball's lens for the strength q = 4 (pulse - 0.4)^2: scaled, lowered by 5 q, projected with
// the field of view q and brought back through the camera's inverse projection.
D3DXMATRIX harmoniaBallTransform(float q, float aspect, const D3DXMATRIX& inverseProjection);
// The strings follow the ball's lens above q = 2.5 and a fixed lens of 2.5 otherwise.
D3DXMATRIX harmoniaStringsTransform(float q, float aspect, const D3DXMATRIX& inverseProjection);
// The programme line shown for a progress value, within the four lines.
int harmoniaLineIndex(float progress);
