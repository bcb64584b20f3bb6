// Mesh generators and modifiers on the CPU geometry: the box's tables, texture coordinate
// generation, face inversion and subdivision with and without smoothing.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/message_boxes.h"

#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/mesh/modifiers.h"
#include "engine/mesh/subdivide.h"
#include "engine/resources/device_state.h"

using velmo::Edge;
using velmo::FaceBase;
using velmo::Mesh;
using velmo::MeshData;
using velmo::Vec3;
using velmo::Vertex;
using velmo::VertexList;

namespace {

class Modifiers : public ::testing::Test {
protected:
    void TearDown() override { velmo::Device::instance()->state->releaseAll(); }

    Mesh* box(float h) {
        Mesh* mesh = velmo::Device::instance()->state->createMesh();
        velmo::meshgen::Cube(Vec3(h, h, h)).generate(mesh);
        return mesh;
    }

    static VertexList loop(const FaceBase* face) {
        VertexList out;
        FaceBase::appendVertexLoop(face, out);
        return out;
    }

    static int indexOf(const Mesh* mesh, const Vertex* v) {
        const VertexList& all = mesh->data->geometry->vertices;
        return int(std::find(all.begin(), all.end(), v) - all.begin());
    }

    MessageBoxRecorder boxes;
};

void expectNear(const Vec3& actual, const Vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
    EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

TEST_F(Modifiers, CubeReplacesAnyGeometryWithItsTables) {
    Mesh* mesh = box(1.0f);
    velmo::meshgen::Cube(Vec3(1, 2, 3)).generate(mesh); // over existing geometry
    const auto& g = *mesh->data->geometry;
    ASSERT_EQ(g.vertices.size(), 8u);
    ASSERT_EQ(g.edges.size(), 12u);
    ASSERT_EQ(g.faces.size(), 6u);
    EXPECT_EQ(mesh->data->syncState, MeshData::kCpuCurrent);
    EXPECT_TRUE(g.vertices[2]->position == Vec3(1, -2, 3));
    EXPECT_TRUE(g.vertices[7]->position == Vec3(1, 2, -3));
    EXPECT_TRUE(g.vertices[4]->normal == Vec3(0, 0, 0));
    const int loops[6][4] = {{3, 2, 1, 0}, {5, 6, 7, 4}, {1, 5, 4, 0},
                             {4, 7, 3, 0}, {7, 6, 2, 3}, {6, 5, 1, 2}};
    for (int f = 0; f < 6; ++f) {
        const VertexList l = loop(g.faces[f]);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(indexOf(mesh, l[k]), loops[f][k]) << "face " << f << " corner " << k;
        }
    }
    // Every edge lies on exactly two faces.
    std::map<const Edge*, int> uses;
    for (const FaceBase* f : g.faces) {
        for (int k = 0; k < 4; ++k) {
            ++uses[f->getEdge(k)];
        }
    }
    for (const Edge* e : g.edges) {
        EXPECT_EQ(uses[e], 2);
    }
    // Each side's normal lies along one axis.
    mesh->refreshGeometry();
    for (const FaceBase* f : g.faces) {
        const Vec3 n = f->normal;
        EXPECT_EQ(int(n.x != 0) + int(n.y != 0) + int(n.z != 0), 1);
    }
}

TEST_F(Modifiers, TexgenProjectsByTheNormalOrByThePlainFormula) {
    struct Case {
        Vec3 normal;
        int mode;
        float u, v;
    };
    const Case cases[] = {
        {Vec3(0, 0, 1), 1, 0.5f, 2.5f},  // along z: (x, y + z)
        {Vec3(1, 0, 0), 1, 1.5f, 1.5f},  // along x: (x + y, z)
        {Vec3(0, -1, 0), 1, 0.5f, 1.5f}, // along y: (x, z)
        {Vec3(0, 0, 1), 0, 2.0f, 2.5f},  // plain: (x + z, y + z)
    };
    for (const Case& c : cases) {
        for (int channel : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " channel " << channel);
            Mesh* mesh = velmo::Device::instance()->state->createMesh();
            VertexList* vertices = nullptr;
            mesh->editGeometry(&vertices, nullptr, nullptr);
            auto* v = new Vertex(1, 2, 3);
            v->normal = c.normal;
            vertices->push_back(v);
            mesh->data->normalsLocked = true; // keep the given normal
            velmo::meshmodify::Texgen texgen(channel, 0.5f);
            texgen.mode = c.mode;
            texgen.apply(mesh);
            EXPECT_NEAR(v->getUV(channel)[0], c.u, 1e-6f);
            EXPECT_NEAR(v->getUV(channel)[1], c.v, 1e-6f);
            EXPECT_EQ(v->getUV(1 - channel)[0], 0.0f);
        }
    }
}

TEST_F(Modifiers, TexgenLeavesCoordinatesAloneWhereItHasNothingToProjectBy) {
    Mesh* mesh = velmo::Device::instance()->state->createMesh();
    VertexList* vertices = nullptr;
    mesh->editGeometry(&vertices, nullptr, nullptr);
    velmo::meshmodify::Texgen(0, 1.0f).apply(mesh); // no vertices
    auto* v = new Vertex(1, 2, 3);
    v->setUV0(7, 8);
    vertices->push_back(v);
    mesh->data->normalsLocked = true;
    velmo::meshmodify::Texgen(2, 1.0f).apply(mesh); // no such set
    velmo::meshmodify::Texgen(0, 1.0f).apply(mesh); // zero normal
    EXPECT_EQ(v->uv0[0], 7.0f);
    EXPECT_EQ(v->uv0[1], 8.0f);
    EXPECT_EQ(mesh->data->syncState, MeshData::kCpuCurrent);
}

TEST_F(Modifiers, TexgenOnTheBoxUsesTheComputedNormals) {
    Mesh* mesh = box(2.0f);
    velmo::meshmodify::Texgen(1, 1.0f).apply(mesh);
    EXPECT_TRUE(mesh->data->geometry->vertexNormalsValid);
    for (const Vertex* v : mesh->data->geometry->vertices) {
        EXPECT_TRUE(std::isfinite(v->uv1[0]) && std::isfinite(v->uv1[1]));
    }
    // Corner (2, 2, 2): the normal is along (1, 1, 1), an equal blend of the three.
    const Vertex* c = mesh->data->geometry->vertices[6];
    EXPECT_NEAR(c->uv1[0], (2 + 4 + 2) / 3.0f, 1e-5f);
    EXPECT_NEAR(c->uv1[1], (4 + 2 + 2) / 3.0f, 1e-5f);
}

TEST_F(Modifiers, InvertFacesReversesEachCycleAndTwiceRestoresIt) {
    Mesh* mesh = box(1.0f);
    auto& faces = mesh->data->geometry->faces;
    std::vector<std::vector<Edge*>> before;
    for (const FaceBase* f : faces) {
        before.push_back({f->getEdge(0), f->getEdge(1), f->getEdge(2), f->getEdge(3)});
    }
    const VertexList loopBefore = loop(faces[0]);
    mesh->refreshGeometry();
    const Vec3 normalBefore = faces[0]->normal;

    velmo::meshmodify::InvertFaces().apply(mesh);
    EXPECT_EQ(faces[0]->getEdge(0), before[0][3]);
    EXPECT_EQ(faces[0]->getEdge(3), before[0][0]);
    EXPECT_FALSE(mesh->data->geometry->faceNormalsValid);
    mesh->refreshGeometry();
    EXPECT_TRUE(faces[0]->normal == -normalBefore);
    const VertexList reversed = loop(faces[0]);
    EXPECT_EQ(std::set<Vertex*>(reversed.begin(), reversed.end()),
              std::set<Vertex*>(loopBefore.begin(), loopBefore.end()));

    velmo::meshmodify::InvertFaces().apply(mesh);
    for (size_t f = 0; f < faces.size(); ++f) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(faces[f]->getEdge(k), before[f][k]);
        }
    }
    EXPECT_EQ(loop(faces[0]), loopBefore);
}

// Whether p lies on the surface of the box of half size h.
bool onBoxSurface(const Vec3& p, float h) {
    const float m = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    return std::fabs(m - h) < 1e-4f;
}

TEST_F(Modifiers, SplitOnlyPassKeepsTheBoxShape) {
    const float h = 2.0f;
    Mesh* mesh = box(h);
    velmo::meshmodify::Subdivide(1, 1).apply(mesh);
    const auto& g = *mesh->data->geometry;
    EXPECT_EQ(g.vertices.size(), 26u);
    EXPECT_EQ(g.edges.size(), 48u);
    EXPECT_EQ(g.faces.size(), 24u);
    EXPECT_EQ(mesh->data->syncState, MeshData::kCpuCurrent);
    for (const Vertex* v : g.vertices) {
        EXPECT_TRUE(onBoxSurface(v->position, h));
    }
    // Corners and edge points come first, interleaved; then one face point per side at its
    // centre: the -y side first.
    expectNear(g.vertices[0]->position, Vec3(-h, -h, -h));
    expectNear(g.vertices[1]->position, Vec3(-h, -h, h));
    expectNear(g.vertices[2]->position, Vec3(-h, -h, 0));
    expectNear(g.vertices[20]->position, Vec3(0, -h, 0));
    expectNear(g.vertices[25]->position, Vec3(0, 0, h));
    // Each new quad keeps its face's orientation: corner, next edge point, centre, edge point.
    mesh->refreshGeometry();
    for (size_t f = 0; f < 4; ++f) {
        EXPECT_LT(g.faces[f]->normal.y, 0.0f) << f;
        EXPECT_EQ(loop(g.faces[f])[2], g.vertices[20]);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Modifiers, SmoothingPassMovesEdgePointsAndCorners) {
    const float h = 3.0f;
    Mesh* mesh = box(h);
    velmo::meshmodify::Subdivide(1, 0).apply(mesh);
    const auto& g = *mesh->data->geometry;
    ASSERT_EQ(g.vertices.size(), 26u);
    // Corner (-h, -h, -h) with three faces; the edge point of the edge to (-h, -h, h).
    expectNear(g.vertices[0]->position, Vec3(-5 * h / 9, -5 * h / 9, -5 * h / 9));
    expectNear(g.vertices[2]->position, Vec3(-0.75f * h, -0.75f * h, 0));
    // Face points stay at the face centres.
    expectNear(g.vertices[20]->position, Vec3(0, -h, 0));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Modifiers, TheDemosThreePassesAndTheScratchMesh) {
    Mesh* mesh = box(130.0f);
    velmo::meshmodify::InvertFaces().apply(mesh);
    auto& meshes = velmo::Device::instance()->state->meshes;
    velmo::meshmodify::Subdivide split(2, 1);
    split.apply(mesh);
    EXPECT_EQ(meshes.size(), 2u); // the mesh and one scratch
    velmo::meshmodify::Subdivide smooth(1, 0);
    smooth.apply(mesh);
    EXPECT_EQ(meshes.size(), 3u);
    const auto& g = *mesh->data->geometry;
    EXPECT_EQ(g.vertices.size(), 386u);
    EXPECT_EQ(g.edges.size(), 768u);
    EXPECT_EQ(g.faces.size(), 384u);
    EXPECT_FALSE(g.vertexNormalsValid);
    // A later apply reuses the scratch mesh.
    Mesh* scratch = smooth.scratch;
    smooth.apply(mesh);
    EXPECT_EQ(smooth.scratch, scratch);
    EXPECT_EQ(meshes.size(), 3u);
    EXPECT_EQ(g.faces.size(), 4u * 384u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Modifiers, SubdivisionReportsEdgesOnMoreThanTwoFaces) {
    Mesh* mesh = box(1.0f);
    // A third face on the box's first edge.
    auto& g = *mesh->data->geometry;
    Edge* e0 = g.edges[0];
    auto* apex = new Vertex(-2, -2, 0);
    g.vertices.push_back(apex);
    g.edges.push_back(new Edge{e0->b, apex});
    g.edges.push_back(new Edge{apex, e0->a});
    g.faces.push_back(new velmo::TriFace(e0, g.edges[12], g.edges[13]));
    velmo::meshmodify::Subdivide(1, 0).apply(mesh);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("#188"), std::string::npos);
    // A triangle gives three quads.
    EXPECT_EQ(g.faces.size(), 27u);
}

} // namespace
