#include "demo/shared_assets.h"

velmo::MeshLoader* sharedModelLoader = nullptr;
velmo::Texture* moonTexture = nullptr;
velmo::Texture* pumTexture = nullptr;
velmo::Texture* moonNormalTexture = nullptr;
velmo::Texture* particleTexture = nullptr;
velmo::INode* blockModel = nullptr;
velmo::MeshFont* wideFont = nullptr;
velmo::MeshFont* scriptFont = nullptr;
velmo::Material* textMaterial = nullptr;
velmo::INode* piippuModel = nullptr;
velmo::INode* loloModel = nullptr;
velmo::Scene* harmoniaScene = nullptr;
velmo::PerspectiveCamera* harmoniaCamera = nullptr;
velmo::NodePointlight* harmoniaLight = nullptr;

// Built by its own step; until then every shared object stays null.
void loadSharedAssets() {}
void loadLoloMesh() {}
void loadPiippuMesh() {}
