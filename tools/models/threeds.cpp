#include "threeds.h"

#include <fstream>
#include <stdexcept>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

namespace models {

namespace {

aiMatrix4x4 columnVector(const Mat4& m) {
    // Assimp keeps column-vector matrices: the transpose of the row-vector form.
    const auto& a = m.m;
    return aiMatrix4x4(a[0], a[4], a[8], a[12], a[1], a[5], a[9], a[13], a[2], a[6], a[10], a[14],
                       a[3], a[7], a[11], a[15]);
}

aiMesh* toAssimp(const Mesh& m, unsigned material) {
    if (m.positions.size() > 65535 || m.triangles.size() > 65535)
        throw std::runtime_error(".3ds meshes hold at most 65535 vertices and faces");
    auto* out = new aiMesh;
    out->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    out->mMaterialIndex = material;
    out->mNumVertices = static_cast<unsigned>(m.positions.size());
    out->mVertices = new aiVector3D[out->mNumVertices];
    for (unsigned i = 0; i < out->mNumVertices; ++i)
        out->mVertices[i] = {m.positions[i].x, m.positions[i].y, m.positions[i].z};
    if (!m.normals.empty()) {
        out->mNormals = new aiVector3D[out->mNumVertices];
        for (unsigned i = 0; i < out->mNumVertices; ++i)
            out->mNormals[i] = {m.normals[i].x, m.normals[i].y, m.normals[i].z};
    }
    if (!m.uv0.empty()) {
        out->mTextureCoords[0] = new aiVector3D[out->mNumVertices];
        out->mNumUVComponents[0] = 2;
        for (unsigned i = 0; i < out->mNumVertices; ++i)
            out->mTextureCoords[0][i] = {m.uv0[i].x, 1 - m.uv0[i].y, 0};
    }
    out->mNumFaces = static_cast<unsigned>(m.triangles.size());
    out->mFaces = new aiFace[out->mNumFaces];
    for (unsigned f = 0; f < out->mNumFaces; ++f) {
        out->mFaces[f].mNumIndices = 3;
        out->mFaces[f].mIndices = new unsigned[3];
        for (int k = 0; k < 3; ++k)
            out->mFaces[f].mIndices[k] = m.triangles[f][k];
    }
    return out;
}

aiMaterial* toAssimp(const Material& m, const std::string& name) {
    auto* out = new aiMaterial;
    aiString n(name);
    out->AddProperty(&n, AI_MATKEY_NAME);
    aiColor3D diffuse(m.diffuse.r, m.diffuse.g, m.diffuse.b);
    aiColor3D specular(m.specular.r, m.specular.g, m.specular.b);
    out->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
    out->AddProperty(&specular, 1, AI_MATKEY_COLOR_SPECULAR);
    out->AddProperty(&m.power, 1, AI_MATKEY_SHININESS);
    if (!m.texture.empty()) {
        aiString t(m.texture);
        out->AddProperty(&t, AI_MATKEY_TEXTURE_DIFFUSE(0));
    }
    return out;
}

uint32_t readU32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The file without its keyframer chunk (0xB000), which the exporter always writes: without it
// the importer hangs each object directly under its root, so the first object is the root's
// first child.
std::vector<unsigned char> withoutKeyframer(const unsigned char* data, size_t size) {
    const size_t header = 6; // chunk id (2 bytes) and length (4 bytes, header included)
    if (size < header || data[0] != 0x4D || data[1] != 0x4D || readU32(data + 2) != size)
        throw std::runtime_error("unexpected .3ds layout from the exporter");
    std::vector<unsigned char> out(data, data + header);
    for (size_t at = header; at + header <= size;) {
        uint32_t length = readU32(data + at + 2);
        if (length < header || at + length > size)
            throw std::runtime_error("unexpected .3ds chunk from the exporter");
        bool keyframer = data[at] == 0x00 && data[at + 1] == 0xB0;
        if (!keyframer)
            out.insert(out.end(), data + at, data + at + length);
        at += length;
    }
    uint32_t total = static_cast<uint32_t>(out.size());
    for (int k = 0; k < 4; ++k)
        out[2 + k] = static_cast<unsigned char>(total >> (8 * k));
    return out;
}

} // namespace

void write3dsFile(const Frame& root, const std::string& path) {
    // Gather the mesh-bearing frames of the tree (one material each: the exporter keeps one
    // material per mesh).
    std::vector<const Frame*> parts;
    auto gather = [&](auto& self, const Frame& f) -> void {
        if (f.mesh)
            parts.push_back(&f);
        for (const Frame& c : f.children)
            self(self, c);
    };
    gather(gather, root);
    if (parts.empty())
        throw std::runtime_error(path + ": nothing to write");

    aiScene scene;
    scene.mRootNode = new aiNode(root.name);
    scene.mRootNode->mTransformation = columnVector(root.matrix);
    scene.mNumMeshes = scene.mNumMaterials = static_cast<unsigned>(parts.size());
    scene.mMeshes = new aiMesh*[parts.size()];
    scene.mMaterials = new aiMaterial*[parts.size()];
    scene.mRootNode->mNumChildren = static_cast<unsigned>(parts.size());
    scene.mRootNode->mChildren = new aiNode*[parts.size()];
    for (unsigned i = 0; i < parts.size(); ++i) {
        const Frame& f = *parts[i];
        scene.mMeshes[i] = toAssimp(*f.mesh, i);
        scene.mMaterials[i] = toAssimp(f.materials.front(), f.name + "Material");
        auto* node = new aiNode(f.name);
        node->mTransformation = columnVector(f.matrix);
        node->mParent = scene.mRootNode;
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{i};
        scene.mRootNode->mChildren[i] = node;
    }
    Assimp::Exporter exporter;
    const aiExportDataBlob* blob = exporter.ExportToBlob(&scene, "3ds");
    if (!blob)
        throw std::runtime_error(path + ": " + exporter.GetErrorString());
    std::vector<unsigned char> bytes =
        withoutKeyframer(static_cast<const unsigned char*>(blob->data), blob->size);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace models
