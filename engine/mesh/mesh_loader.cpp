#include "engine/mesh/mesh_loader.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <string>
#include <vector>

#include <assimp/commonMetaData.h>
#include <assimp/importerdesc.h>
#include <assimp/material.h>
#include <assimp/scene.h>

#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/material.h"
#include "engine/resources/data_file.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"

namespace velmo {

namespace {

// True when the scene came from Assimp's DirectX (.x) importer, whichever name the file has.
bool readAsDirectX(const Assimp::Importer& importer, const aiScene& scene) {
    aiString format;
    const aiImporterDesc* directX = importer.GetImporterInfo(importer.GetImporterIndex("x"));
    return directX != nullptr && scene.mMetaData != nullptr &&
           scene.mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format) &&
           std::string(format.C_Str()) == directX->mName;
}

// Undoes a z mirror S M S (S = diag(1, 1, -1, 1)) of the node's matrix and its descendants'.
void unmirror(aiNode& node) {
    aiMatrix4x4& m = node.mTransformation;
    m.a3 = -m.a3;
    m.b3 = -m.b3;
    m.c1 = -m.c1;
    m.c2 = -m.c2;
    m.c4 = -m.c4;
    m.d3 = -m.d3;
    for (unsigned i = 0; i < node.mNumChildren; ++i) {
        unmirror(*node.mChildren[i]);
    }
}

// Assimp's DirectX importer (5.2.5) converts the file into right-handed space: it negates z of
// every position and normal, mirrors every node matrix the same way (S M S with
// S = diag(1, 1, -1, 1)), flips v of every texture coordinate set to 1 - v and reverses the
// corner order of every face. The root node keeps the file's root matrix; no axis change.
// Every face corner becomes a vertex of its own.
//
// The loader's steps expect a DirectX file's positions, normals and texture coordinates as the
// file stores them, each face in reversed corner order, and the root matrix followed by the
// axis change (x, y, z) -> (x, -z, y). So this undoes the z mirror and the v flip, keeps the
// reversed faces and the per-corner vertices, and puts the axis change on the root node.
//
// The 3DS importer needs nothing: it delivers the file's positions and texture coordinates,
// each face in the file's corner order (so the loader reverses the winding), normals it
// computes itself, and a root node that turns the file's z-up into y-up, (x, y, z) -> (x, z, -y).
void restoreDirectXConventions(aiScene& scene) {
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
        aiMesh& mesh = *scene.mMeshes[i];
        for (unsigned j = 0; j < mesh.mNumVertices; ++j) {
            mesh.mVertices[j].z = -mesh.mVertices[j].z;
            if (mesh.mNormals != nullptr) {
                mesh.mNormals[j].z = -mesh.mNormals[j].z;
            }
            for (aiVector3D* set : mesh.mTextureCoords) {
                if (set != nullptr) {
                    set[j].y = 1.0f - set[j].y;
                }
            }
        }
    }

    if (scene.mRootNode != nullptr) {
        unmirror(*scene.mRootNode);
        const aiMatrix4x4 axisChange(1, 0, 0, 0,  //
                                     0, 0, -1, 0, //
                                     0, 1, 0, 0,  //
                                     0, 0, 0, 1);
        scene.mRootNode->mTransformation = scene.mRootNode->mTransformation * axisChange;
    }
}

Texture* loadModelTexture(const aiString& name) {
    return Device::loadTexture(preloadFile(name.C_Str()));
}

} // namespace

INode* MeshLoader::load(const char* path) {
    meshes.clear();
    materials.clear();
    meshMaterials.clear();
    root = nullptr;

    // The importer opens the file itself, and an ordinary open of a named pipe waits for a
    // writer for ever: what is not a regular file is not handed to it.
    if (!DataFile().open(path)) {
        std::fprintf(stderr, "velmo 08: the model %s does not open: it is left out\n", path);
        // As after a read the importer failed: the previous file's scene is gone.
        importer.FreeScene();
        scene = nullptr;
        return nullptr;
    }
    try {
        scene = importer.ReadFile(path, 0);
        if (scene == nullptr) {
            std::fprintf(stderr, "velmo 08: the model %s is left out: %s\n", path,
                         importer.GetErrorString());
            return nullptr;
        }
        if (readAsDirectX(importer, *scene)) {
            // The scene is the importer's; it is only ever read after this one correction.
            restoreDirectXConventions(const_cast<aiScene&>(*scene));
        }

        for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
            meshes.push_back(convertMesh(*scene->mMeshes[i]));
            meshMaterials.push_back(scene->mMeshes[i]->mMaterialIndex);
        }
        for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
            materials.push_back(convertMaterial(*scene->mMaterials[i]));
        }
        buildNode(nullptr, scene->mRootNode);
        return root;
    } catch (const std::exception& failure) {
        // A file too large for the memory there is (std::bad_alloc), or any other failure
        // thrown on the way: a failed load, as for a file that cannot be read. What this load
        // made before the failure is freed while no node refers to it yet.
        std::fprintf(stderr, "velmo 08: the model %s is left out: %s\n", path, failure.what());
        if (root == nullptr) {
            for (Mesh* mesh : meshes) {
                delete mesh;
            }
            for (Material* material : materials) {
                delete material;
            }
        }
        meshes.clear();
        materials.clear();
        meshMaterials.clear();
        root = nullptr;
        importer.FreeScene();
        scene = nullptr;
        return nullptr;
    }
}

Mesh* MeshLoader::convertMesh(const aiMesh& imported) const {
    const bool hasNormals = imported.HasNormals();
    const bool hasSet0 = imported.HasTextureCoords(0);
    const bool hasSet1 = imported.HasTextureCoords(1);

    // The temporary vertices live in one block; the list points into it.
    std::vector<Vertex> storage(imported.mNumVertices);
    VertexList vertices;
    vertices.reserve(imported.mNumVertices);
    for (unsigned j = 0; j < imported.mNumVertices; ++j) {
        const aiVector3D& p = imported.mVertices[j];
        Vertex* vertex = &storage[j];
        vertex->position = Vec3(p.x, p.y, p.z);
        if (hasNormals) {
            const aiVector3D& n = imported.mNormals[j];
            vertex->normal = negateNormals ? Vec3(-n.x, -n.y, -n.z) : Vec3(n.x, n.y, n.z);
        }
        if (hasSet0) {
            const aiVector3D& t = imported.mTextureCoords[0][j];
            vertex->setUV0(t.x, 1.0f - t.y);
            if (!hasSet1 || singleTextureSet) {
                vertex->setUV1(t.x, 1.0f - t.y);
            }
        }
        if (hasSet1 && !singleTextureSet) {
            const aiVector3D& t = imported.mTextureCoords[1][j];
            vertex->setUV1(t.x, t.y);
            if (!hasSet0) {
                vertex->setUV0(t.x, t.y);
            }
        }
        vertices.push_back(vertex);
    }

    // Triangles take corners 1, 0, 2. Points and lines (fewer than three corners) and faces
    // naming a vertex the mesh does not have cannot be drawn as triangles and are left out.
    std::vector<uint32_t> indices;
    indices.reserve(size_t(imported.mNumFaces) * 3);
    for (unsigned f = 0; f < imported.mNumFaces; ++f) {
        const aiFace& face = imported.mFaces[f];
        if (face.mNumIndices < 3 || face.mIndices[0] >= imported.mNumVertices ||
            face.mIndices[1] >= imported.mNumVertices ||
            face.mIndices[2] >= imported.mNumVertices) {
            continue;
        }
        indices.push_back(face.mIndices[1]);
        indices.push_back(face.mIndices[0]);
        indices.push_back(face.mIndices[2]);
    }

    auto* mesh = new Mesh(int(imported.mNumVertices), int(imported.mNumFaces));
    mesh->data->normalsLocked = hasNormals;
    mesh->data->syncState = MeshData::kGpuOnly;
    mesh->data->buffers->assignGeometry(vertices, &indices);
    return mesh;
}

Material* MeshLoader::convertMaterial(const aiMaterial& imported) const {
    auto* material = new Material;
    aiColor4D color(1.0f, 1.0f, 1.0f, 1.0f);
    if (aiGetMaterialColor(&imported, AI_MATKEY_COLOR_AMBIENT, &color) == aiReturn_SUCCESS) {
        material->ambient = D3DXVECTOR4(color.r, color.g, color.b, color.a);
    }
    if (aiGetMaterialColor(&imported, AI_MATKEY_COLOR_DIFFUSE, &color) == aiReturn_SUCCESS) {
        material->diffuse = D3DXVECTOR4(color.r, color.g, color.b, color.a);
    }
    if (aiGetMaterialColor(&imported, AI_MATKEY_COLOR_SPECULAR, &color) == aiReturn_SUCCESS) {
        material->specular = D3DXVECTOR4(color.r, color.g, color.b, color.a);
    }

    aiString name;
    aiGetMaterialString(&imported, AI_MATKEY_TEXTURE_DIFFUSE(0), &name);
    if (name.length != 0) {
        material->texture = loadModelTexture(name);
        if (singleTextureSet) {
            material->normalMap = material->texture;
        }
    }
    name.Clear();
    if (aiGetMaterialString(&imported, AI_MATKEY_TEXTURE_NORMALS(0), &name) == aiReturn_SUCCESS &&
        name.length != 0) {
        material->normalMap = loadModelTexture(name);
    }
    return material;
}

void MeshLoader::buildNode(INode* parent, const aiNode* imported) {
    if (imported->mNumMeshes == 0) {
        auto* dummy = new DummyNode;
        copyNodeTransform(dummy, imported);
        if (parent == nullptr) {
            root = dummy;
            parent = dummy;
        } else {
            parent->addChild(dummy);
        }
    }
    for (unsigned i = 0; i < imported->mNumMeshes; ++i) {
        const unsigned k = imported->mMeshes[i];
        if (k >= meshes.size()) {
            continue;
        }
        Mesh* mesh = *std::next(meshes.begin(), k);
        auto* instance = new MeshInstance;
        instance->addChild(mesh);
        mesh->setName("Mesh" + std::string(imported->mName.C_Str()));
        copyNodeTransform(instance, imported);
        // A mesh whose material is not in the list (or a file without materials) keeps the
        // default material.
        if (meshMaterials[k] < materials.size()) {
            instance->material = **std::next(materials.begin(), meshMaterials[k]);
        }
        if (parent == nullptr) {
            parent = new DummyNode;
            if (root == nullptr) {
                root = parent;
            }
        }
        parent->addChild(instance);
    }
    for (unsigned i = 0; i < imported->mNumChildren; ++i) {
        buildNode(parent, imported->mChildren[i]);
    }
}

void MeshLoader::copyNodeTransform(INode* node, const aiNode* imported) {
    node->setName(imported->mName.C_Str());
    const aiMatrix4x4& m = imported->mTransformation;
    node->transform = D3DXMATRIX(m.a1, m.b1, m.c1, m.d1, //
                                 m.a2, m.b2, m.c2, m.d2, //
                                 m.a3, m.b3, m.c3, m.d3, //
                                 m.a4, m.b4, m.c4, m.d4);
}

} // namespace velmo
