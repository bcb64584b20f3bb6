// The generated model files, as the build leaves them in data/, read the way the program reads
// them (the importer without post-processing), one table row per file: each row names the
// loader flags its scene uses, the parts the scene looks up, which way the surface faces and
// the triangle budget. Checked per file: every face is a triangle; named parts exist, and those
// whose material the scene edits carry exactly one mesh (one material); no node carries a name
// another scene searches for; every texture a material names exists under data/; the windings
// enclose positive volume (negative for an enclosure seen from inside) and the stored normals
// agree with them once the loader's negation is applied; triangles stay within budget; the
// meshes the demo welds are closed surfaces without zero normals after welding. Then each file
// is loaded through the model loader as its scene loads it.
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include "engine/mesh/mesh.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/mesh_instance.h"
#include "support/engine_fixture.h"

namespace {

enum class Facing { Outward, Inward };

struct ModelCase {
    const char* file;
    bool negateNormals;                 // the loader flag of the scene's load
    Facing facing;                      // which way the triangles face after loading
    std::vector<std::string> meshParts; // looked up, material edited: must carry one mesh
    std::vector<std::string> names;     // looked up for their transforms only
    size_t maxTriangles;
    bool welded; // welded on read-back by the demo: must be closed
};

const ModelCase kModels[] = {
    {"block1.x", true, Facing::Outward, {}, {}, 200, false},
    {"piippu.3ds", true, Facing::Outward, {}, {}, 2000, true},
    {"lolo.x", true, Facing::Outward, {}, {}, 2000, true},
    {"harmonia.x", true, Facing::Outward, {"pallo", "langat"}, {}, 4000, false},
    {"chain.x", false, Facing::Outward, {}, {}, 150, false},
    {"koriste.x", false, Facing::Outward, {}, {}, 200, false},
    {"liberty.x", false, Facing::Outward, {}, {}, 3000, false},
    {"talo.x", true, Facing::Outward, {"ChamferCyl01"}, {}, 1000, false},
    {"talomaa.x", true, Facing::Outward, {"Plane01"}, {}, 20, false},
    {"rattais.x", true, Facing::Outward, {}, {}, 1500, false},
    {"SkyTeaPot.x", true, Facing::Inward, {}, {}, 4000, false},
    {"quellan2.x", false, Facing::Outward, {"Text01"}, {}, 8000, false},
    {"quelmobile2.x", false, Facing::Outward, {}, {"Dummy01", "object2", "object3"}, 1500, false},
    {"town.x",
     false,
     Facing::Outward,
     {"Plane01", "Plane02", "Plane03", "Plane04", "Plane05", "Plane06"},
     {},
     6000,
     false},
    {"valot.x", false, Facing::Outward, {"valo01", "valo02", "valo03"}, {}, 4000, false},
};

// Every name some scene searches a loaded tree for.
std::set<std::string> searchedNames() {
    std::set<std::string> names = {"kilinvittu", "ChamferCyl01", "pallo",   "langat", "2008",
                                   "Text01",     "Dummy01",      "object2", "object3"};
    for (int i = 1; i <= 9; ++i)
        names.insert("Plane0" + std::to_string(i));
    for (int i = 1; i <= 3; ++i)
        names.insert("valo0" + std::to_string(i));
    return names;
}

using Vec = std::array<double, 3>;

Vec sub(const aiVector3D& a, const aiVector3D& b) {
    return {double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z};
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void collect(const aiNode* node, std::vector<const aiNode*>& out) {
    out.push_back(node);
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        collect(node->mChildren[i], out);
}

// Checks that a welded mesh (positions closer than 1e-3 merged) is closed: every directed edge
// has exactly one partner running the other way; and that every welded vertex gets a normal.
void expectClosedAfterWelding(const aiMesh* mesh) {
    std::vector<unsigned> id(mesh->mNumVertices);
    std::vector<aiVector3D> welded;
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        unsigned found = unsigned(welded.size());
        for (unsigned w = 0; w < welded.size(); ++w)
            if ((welded[w] - mesh->mVertices[v]).Length() < 1e-3f) {
                found = w;
                break;
            }
        if (found == welded.size())
            welded.push_back(mesh->mVertices[v]);
        id[v] = found;
    }
    std::map<std::pair<unsigned, unsigned>, int> edges;
    std::vector<Vec> normals(welded.size(), Vec{0, 0, 0});
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        unsigned a = id[face.mIndices[0]], b = id[face.mIndices[1]], c = id[face.mIndices[2]];
        ASSERT_TRUE(a != b && b != c && c != a) << "face " << f << " collapses when welded";
        for (auto [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}})
            ++edges[{p, q}];
        Vec n = cross(sub(welded[b], welded[a]), sub(welded[c], welded[a]));
        for (unsigned v : {a, b, c})
            for (int k = 0; k < 3; ++k)
                normals[v][k] += n[k];
    }
    int open = 0;
    for (const auto& [edge, count] : edges) {
        auto reverse = edges.find({edge.second, edge.first});
        if (count != 1 || reverse == edges.end() || reverse->second != 1)
            ++open;
    }
    EXPECT_EQ(open, 0) << "edges without exactly one opposite partner";
    for (size_t v = 0; v < normals.size(); ++v)
        EXPECT_GT(std::sqrt(dot(normals[v], normals[v])), 1e-9) << "zero normal at " << v;
}

TEST(Models, EachFileIsReadAsItsSceneNeedsIt) {
    const std::set<std::string> searched = searchedNames();
    for (const ModelCase& c : kModels) {
        SCOPED_TRACE(c.file);
        const std::string path = std::string("data/") + c.file;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();

        std::vector<const aiNode*> nodes;
        collect(scene->mRootNode, nodes);
        std::map<std::string, const aiNode*> byName;
        for (const aiNode* n : nodes) {
            byName.emplace(n->mName.C_Str(), n);
            const std::string name = n->mName.C_Str();
            bool own = std::count(c.meshParts.begin(), c.meshParts.end(), name) +
                           std::count(c.names.begin(), c.names.end(), name) >
                       0;
            EXPECT_TRUE(own || searched.count(name) == 0) << name << " is searched for elsewhere";
        }
        for (const std::string& name : c.meshParts) {
            auto found = byName.find(name);
            ASSERT_NE(found, byName.end()) << name;
            EXPECT_EQ(found->second->mNumMeshes, 1u) << name << ": one mesh, one material";
        }
        for (const std::string& name : c.names)
            EXPECT_EQ(byName.count(name), 1u) << name;

        for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
            aiString texture;
            if (scene->mMaterials[m]->GetTexture(aiTextureType_DIFFUSE, 0, &texture) ==
                AI_SUCCESS) {
                EXPECT_TRUE(
                    std::filesystem::is_regular_file(std::string("data/") + texture.C_Str()))
                    << texture.C_Str();
            }
        }

        size_t triangles = 0, corners = 0, agreeing = 0;
        double volume = 0;
        const bool xFile = std::string(c.file).ends_with(".x");
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            const aiMesh* mesh = scene->mMeshes[m];
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const aiFace& face = mesh->mFaces[f];
                ASSERT_EQ(face.mNumIndices, 3u) << "mesh " << m << " face " << f;
                ++triangles;
                const aiVector3D& p0 = mesh->mVertices[face.mIndices[0]];
                Vec n = cross(sub(mesh->mVertices[face.mIndices[1]], p0),
                              sub(mesh->mVertices[face.mIndices[2]], p0));
                volume += dot({p0.x, p0.y, p0.z}, n) / 6;
                // .3ds normals are the importer's own; the demo computes the welded ones.
                if (!xFile || !mesh->HasNormals())
                    continue;
                for (unsigned k = 0; k < 3; ++k) {
                    const aiVector3D& s = mesh->mNormals[face.mIndices[k]];
                    double sign = c.negateNormals ? -1 : 1;
                    ++corners;
                    agreeing += sign * dot({s.x, s.y, s.z}, n) > 0;
                }
            }
            if (c.welded)
                expectClosedAfterWelding(mesh);
        }
        EXPECT_LE(triangles, c.maxTriangles);
        EXPECT_GT(triangles, 0u);
        EXPECT_GT(c.facing == Facing::Outward ? volume : -volume, 0) << "winding";
        if (xFile) {
            EXPECT_GE(agreeing, corners * 95 / 100)
                << "stored normals disagree with the winding after loading";
        }
    }
}

// Loaded through the model loader with the scene's flags: the tree exists, the parts the scene
// edits are mesh instances holding a mesh, and the normals the loader leaves agree with the
// triangles' winding (which faces the way the row says, checked above).
class LoadedModels : public EngineTest {};

TEST_F(LoadedModels, LoadWithTheirScenesFlagsAndKeepNormalsWithTheWinding) {
    for (const ModelCase& c : kModels) {
        SCOPED_TRACE(c.file);
        velmo::MeshLoader loader;
        loader.negateNormals = c.negateNormals;
        loader.singleTextureSet = true;
        velmo::INode* root = loader.load((std::string("data/") + c.file).c_str());
        ASSERT_NE(root, nullptr);
        ASSERT_FALSE(root->children.empty());
        for (const std::string& name : c.meshParts) {
            auto* part = dynamic_cast<velmo::MeshInstance*>(root->findByName(name));
            ASSERT_NE(part, nullptr) << name;
            ASSERT_FALSE(part->children.empty()) << name;
            EXPECT_NE(dynamic_cast<velmo::Mesh*>(part->children.front()), nullptr) << name;
        }
        // .3ds normals are the importer's own, and the demo recomputes them after welding.
        if (!std::string(c.file).ends_with(".x"))
            continue;
        size_t corners = 0, agreeing = 0;
        for (velmo::INode* child : root->children) {
            if (dynamic_cast<velmo::MeshInstance*>(child) == nullptr || child->children.empty())
                continue;
            auto* mesh = dynamic_cast<velmo::Mesh*>(child->children.front());
            ASSERT_NE(mesh, nullptr);
            for (velmo::FaceBase* face : *mesh->faces()) {
                velmo::VertexList loop;
                velmo::FaceBase::appendVertexLoop(face, loop);
                ASSERT_EQ(loop.size(), 3u);
                const velmo::Vec3 p0 = *loop[0]->getPosition();
                const velmo::Vec3 e1 = *loop[1]->getPosition() - p0;
                const velmo::Vec3 e2 = *loop[2]->getPosition() - p0;
                const Vec n = cross({e1.x, e1.y, e1.z}, {e2.x, e2.y, e2.z});
                for (velmo::Vertex* v : loop) {
                    const velmo::Vec3 s = *v->getNormal();
                    ++corners;
                    agreeing += dot({s.x, s.y, s.z}, n) > 0;
                }
            }
        }
        EXPECT_GT(corners, 0u);
        EXPECT_GE(agreeing, corners * 95 / 100) << "normals against the winding after loading";
    }
}

} // namespace
