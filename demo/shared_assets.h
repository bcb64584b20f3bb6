// The objects several scenes share, built once before every scene: the model loader, four
// textures, the two extruded-text fonts with their prepared glyphs, the block model, the text
// material, the prepared pipe and creature models, and the harmonia part's text scene with
// its camera and light. They live until the process ends.
#pragma once

namespace velmo {
class INode;
class Material;
class MeshFont;
class MeshLoader;
class NodePointlight;
class PerspectiveCamera;
class Scene;
class Texture;
} // namespace velmo

extern velmo::MeshLoader* sharedModelLoader;
extern velmo::Texture* moonTexture;
extern velmo::Texture* pumTexture;
extern velmo::Texture* moonNormalTexture;
extern velmo::Texture* particleTexture;
extern velmo::INode* blockModel;
extern velmo::MeshFont* wideFont;
extern velmo::MeshFont* scriptFont;
extern velmo::Material* textMaterial;
extern velmo::INode* piippuModel;
extern velmo::INode* loloModel;
extern velmo::Scene* harmoniaScene;
extern velmo::PerspectiveCamera* harmoniaCamera;
extern velmo::NodePointlight* harmoniaLight;

void loadSharedAssets();
void loadLoloMesh();
void loadPiippuMesh();
