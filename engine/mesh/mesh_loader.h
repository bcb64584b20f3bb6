// Model files (DirectX .x, 3D Studio .3ds) read through Assimp and turned into engine objects:
// one mesh per imported mesh with its GPU buffers filled at once, one material per imported
// material, and the imported nodes as a flat tree of group nodes and mesh instances under one
// root.
#pragma once

#include <list>
#include <vector>

#include <assimp/Importer.hpp>

struct aiMaterial;
struct aiMesh;
struct aiNode;
struct aiScene;

namespace velmo {

class INode;
class Material;
class Mesh;

class MeshLoader {
public:
    MeshLoader() = default;

    // The root of the tree built from the file at path, or null when it is no regular file or
    // the importer cannot read it (nothing is built then, and standard error names the file).
    // Meshes and materials made by a load live for the rest of the run, so trees from earlier
    // loads stay drawable.
    INode* load(const char* path);
    // Adds the nodes made for imported (and, recursively, its descendants) under parent, or
    // makes the root when parent is null.
    void buildNode(INode* parent, const aiNode* imported);
    // The imported node's name and its matrix, transposed into row-vector form.
    void copyNodeTransform(INode* node, const aiNode* imported);

    std::list<Mesh*> meshes;
    const aiScene* scene = nullptr;
    std::list<Material*> materials;
    std::vector<unsigned> meshMaterials;
    Assimp::Importer importer;
    INode* root = nullptr;
    bool negateNormals = false;
    bool singleTextureSet = false;

private:
    // A new mesh with the imported vertices and triangles written into its GPU buffers.
    Mesh* convertMesh(const aiMesh& imported) const;
    // A new material with the imported colours and textures over the defaults.
    Material* convertMaterial(const aiMaterial& imported) const;
};

} // namespace velmo
