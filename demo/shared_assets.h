// The objects several scenes share, built once before every scene: the model loader, four
// textures, the two extruded-text fonts with their prepared glyphs, the block model, the text
// material, the prepared pipe and creature models, and the harmonia part's text scene with
// its camera and light. They live until the process ends.
#pragma once

namespace velmo {
class INode;
class Material;
class Mesh;
class MeshFont;
class MeshInstance;
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

// Scales every glyph mesh of the font once (a character listed twice in the alphabet has one
// glyph) and generates both of its texture-coordinate sets. Characters without a mesh are
// skipped.
void prepareGlyphs(velmo::MeshFont& font, float scale);

// The first child of a loaded model when it is a mesh instance, else null (no model, no
// children, or a first child of another kind).
velmo::MeshInstance* firstMeshInstance(velmo::INode* model);
// The first child of an instance when it is a mesh, else null.
velmo::Mesh* firstMesh(velmo::INode* instance);
