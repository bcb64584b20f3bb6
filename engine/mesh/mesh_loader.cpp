#include "engine/mesh/mesh_loader.h"

namespace velmo {

// Placeholder until the importer is wired in: every file reads as unreadable.
INode* MeshLoader::load(const char*) {
    meshes.clear();
    materials.clear();
    meshMaterials.clear();
    root = nullptr;
    return nullptr;
}

void MeshLoader::buildNode(INode*, const aiNode*) {}

void MeshLoader::copyNodeTransform(INode*, const aiNode*) {}

} // namespace velmo
