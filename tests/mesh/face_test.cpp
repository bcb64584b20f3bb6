// Vertices, edges and faces: the vertex attribute block, the vertex loop derived from a face's
// edge cycle, triangulation, face normals and tangent frames.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "support/expect_math.h"

#include "engine/mesh/face.h"
#include "engine/mesh/vertex.h"

using velmo::Edge;
using velmo::FaceBase;
using velmo::QuadFace;
using velmo::TriFace;
using velmo::Vec3;
using velmo::Vertex;
using velmo::VertexList;

namespace {


VertexList loopOf(const FaceBase& face) {
    VertexList loop;
    FaceBase::appendVertexLoop(&face, loop);
    return loop;
}

// A vertex kind with no attributes at all, to show what the base interface does.
struct BareVertex : velmo::VertexBase {
    int byteSize() const override { return sizeof(BareVertex); }
    BareVertex* clone() const override { return new BareVertex(*this); }
};

// A box with half sizes (1, 2, 3): eight corners, twelve edges and six quads, each quad's
// corner edges given so that its loop runs outward-facing (the face normal points away from
// the box centre).
struct Box {
    Box() {
        const float x = 1.0f, y = 2.0f, z = 3.0f;
        const float corners[8][3] = {{-x, -y, -z}, {-x, -y, z}, {x, -y, z}, {x, -y, -z},
                                     {-x, y, -z},  {-x, y, z},  {x, y, z},  {x, y, -z}};
        for (const auto& c : corners) {
            v.push_back(std::make_unique<Vertex>(c[0], c[1], c[2]));
        }
        const int ends[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 5},
                                 {2, 6}, {3, 7}, {7, 4}, {6, 7}, {5, 6}, {4, 5}};
        for (const auto& e : ends) {
            edges.push_back(Edge{v[e[0]].get(), v[e[1]].get()});
        }
    }
    Vertex* V(int i) { return v[i].get(); }
    Edge* E(int i) { return &edges[i]; }
    QuadFace quad(std::array<int, 4> c) { return QuadFace(E(c[0]), E(c[1]), E(c[2]), E(c[3])); }

    std::vector<std::unique_ptr<Vertex>> v;
    std::vector<Edge> edges;
};

} // namespace

TEST(MeshVertex, AttributesFormOneBlockInGpuOrder) {
    Vertex vertex(1, 2, 3);
    vertex.setNormal(4, 5, 6);
    vertex.setUV0(7, 8);
    vertex.setUV1(9, 10);
    *vertex.getTangent() = Vec3{11, 12, 13};
    *vertex.getBinormal() = Vec3{14, 15, 16};

    EXPECT_EQ(vertex.byteSize() - static_cast<int>(sizeof(velmo::VertexBase)), 64);
    // The block starts right after the base part and holds the sixteen floats in order.
    const auto* base = reinterpret_cast<const char*>(static_cast<velmo::VertexBase*>(&vertex));
    const auto* block = reinterpret_cast<const char*>(vertex.getPosition());
    EXPECT_EQ(block - base, static_cast<std::ptrdiff_t>(sizeof(velmo::VertexBase)));
    float floats[16];
    std::memcpy(floats, block, sizeof floats);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(floats[i], static_cast<float>(i + 1)) << "float " << i;
    }
}

TEST(MeshVertex, ConstructorsZeroWhatTheyDoNotSetAndCopiesCarryEverything) {
    const Vertex origin;
    const Vertex placed(1, 2, 3);
    for (const Vertex* v : {&origin, &placed}) {
        expectVecNear(v->normal, {0, 0, 0}, 0);
        expectVecNear(v->tangent, {0, 0, 0}, 0);
        expectVecNear(v->binormal, {0, 0, 0}, 0);
        EXPECT_EQ(v->uv0[0] + v->uv0[1] + v->uv1[0] + v->uv1[1], 0.0f);
        EXPECT_TRUE(v->faces.empty());
    }
    expectVecNear(origin.position, {0, 0, 0}, 0);
    expectVecNear(placed.position, {1, 2, 3}, 0);

    Vertex source(1, 2, 3);
    source.setNormal(0, 1, 0);
    source.setUV1(0.25f, 0.75f);
    QuadFace someFace(nullptr, nullptr, nullptr, nullptr);
    source.faces.push_back(&someFace);
    std::unique_ptr<Vertex> copy(source.clone());
    ASSERT_NE(copy.get(), &source);
    std::array<float, 16> a, b;
    std::memcpy(a.data(), source.getPosition(), 64);
    std::memcpy(b.data(), copy->getPosition(), 64);
    EXPECT_EQ(a, b);
    EXPECT_EQ(copy->faces, source.faces);
}

TEST(MeshVertex, TextureSetsBeyondTheSecondDoNotExist) {
    struct Case {
        int set;
        bool exists;
        int slot; // 0: uv0, 1: uv1
    };
    const Case cases[] = {{0, true, 0}, {1, true, 1}, {2, false, 0}, {-1, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        Vertex v;
        v.setUV(c.set, 5, 6);
        float* uv = v.getUV(c.set);
        if (!c.exists) {
            EXPECT_EQ(uv, nullptr);
            EXPECT_EQ(v.uv0[0] + v.uv0[1] + v.uv1[0] + v.uv1[1], 0.0f);
            continue;
        }
        EXPECT_EQ(uv, c.slot == 0 ? v.getUV0() : v.getUV1());
        EXPECT_EQ(uv[0], 5.0f);
        EXPECT_EQ(uv[1], 6.0f);
    }
}

TEST(MeshVertex, BaseInterfaceHasNoAttributesAndIgnoresWrites) {
    BareVertex v;
    v.setPosition(1, 2, 3);
    v.setNormal(1, 2, 3);
    v.setUV0(1, 2);
    v.setUV1(1, 2);
    v.setUV(0, 1, 2);
    v.setReserved(&v);
    EXPECT_EQ(v.getPosition(), nullptr);
    EXPECT_EQ(v.getNormal(), nullptr);
    EXPECT_EQ(v.getUV0(), nullptr);
    EXPECT_EQ(v.getUV1(), nullptr);
    EXPECT_EQ(v.getUV(0), nullptr);
    EXPECT_EQ(v.getReserved(), nullptr);
    EXPECT_EQ(v.getTangent(), nullptr);
    EXPECT_EQ(v.getBinormal(), nullptr);

    Vertex full;
    full.setReserved(&full);
    EXPECT_EQ(full.getReserved(), nullptr);
}

TEST(FaceVertexLoop, TriangleStartsAtTheVertexSharedByItsFirstTwoEdges) {
    Vertex a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    // The ends' order within each edge carries no meaning: every variant gives b, c, a.
    const Edge forward[3] = {{&a, &b}, {&b, &c}, {&c, &a}};
    const Edge backward[3] = {{&b, &a}, {&c, &b}, {&a, &c}};
    const Edge mixed[3] = {{&a, &b}, {&c, &b}, {&c, &a}};
    for (const Edge* set : {forward, backward, mixed}) {
        Edge e[3] = {set[0], set[1], set[2]};
        const TriFace face(&e[0], &e[1], &e[2]);
        EXPECT_EQ(loopOf(face), (VertexList{&b, &c, &a}));
    }
}

TEST(FaceVertexLoop, BoxQuadsWalkTheirEdgeCycles) {
    struct Case {
        std::array<int, 4> edges;
        std::array<int, 4> loop;
    };
    const Case cases[] = {
        {{3, 2, 1, 0}, {3, 2, 1, 0}}, {{11, 10, 9, 8}, {5, 6, 7, 4}}, {{0, 5, 11, 4}, {1, 5, 4, 0}},
        {{4, 8, 7, 3}, {4, 7, 3, 0}}, {{7, 9, 6, 2}, {7, 6, 2, 3}},   {{6, 10, 5, 1}, {6, 5, 1, 2}},
    };
    Box box;
    for (const Case& c : cases) {
        const QuadFace face = box.quad(c.edges);
        const VertexList expected{box.V(c.loop[0]), box.V(c.loop[1]), box.V(c.loop[2]),
                                  box.V(c.loop[3])};
        EXPECT_EQ(loopOf(face), expected) << "face with first edge " << c.edges[0];
    }
}

TEST(FaceVertexLoop, AppendsToWhatTheListHolds) {
    Box box;
    const QuadFace face = box.quad({3, 2, 1, 0});
    VertexList list{box.V(7)};
    FaceBase::appendVertexLoop(&face, list);
    EXPECT_EQ(list, (VertexList{box.V(7), box.V(3), box.V(2), box.V(1), box.V(0)}));
}

TEST(FaceTriangulate, QuadGivesTwoTrianglesOfItsLoopAndTriangleGivesItsLoop) {
    Box box;
    const QuadFace quad = box.quad({0, 5, 11, 4}); // loop V1, V5, V4, V0
    VertexList list{box.V(6)};
    quad.triangulate(list);
    EXPECT_EQ(list,
              (VertexList{box.V(6), box.V(1), box.V(5), box.V(4), box.V(4), box.V(0), box.V(1)}));

    Vertex a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    Edge e[3] = {{&a, &b}, {&b, &c}, {&c, &a}};
    const TriFace tri(&e[0], &e[1], &e[2]);
    list.clear();
    tri.triangulate(list);
    EXPECT_EQ(list, (VertexList{&b, &c, &a}));
}

TEST(FaceNormal, BoxFacesPointOutwardWithTheirAreaAsLength) {
    // Half sizes (1, 2, 3): faces of 4 x 6, 2 x 6 and 2 x 4.
    struct Case {
        std::array<int, 4> edges;
        Vec3 normal;
    };
    const Case cases[] = {
        {{3, 2, 1, 0}, {0, -12, 0}}, {{11, 10, 9, 8}, {0, 12, 0}}, {{0, 5, 11, 4}, {-24, 0, 0}},
        {{4, 8, 7, 3}, {0, 0, -8}},  {{7, 9, 6, 2}, {24, 0, 0}},   {{6, 10, 5, 1}, {0, 0, 8}},
    };
    Box box;
    for (const Case& c : cases) {
        QuadFace face = box.quad(c.edges);
        FaceBase::computeNormal(&face);
        SCOPED_TRACE(c.edges[0]);
        expectVecNear(face.normal, c.normal);
    }
}

TEST(FaceNormal, TriangleNormalIsTwiceItsAreaAndZeroWhenCollinear) {
    struct Case {
        Vec3 p[3];
        Vec3 normal;
    };
    const Case cases[] = {
        {{{0, 0, 0}, {2, 0, 0}, {0, 1, 0}}, {0, 0, 2}},  // counter-clockwise seen from +z
        {{{0, 0, 0}, {0, 1, 0}, {2, 0, 0}}, {0, 0, -2}}, // reversed winding
        {{{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}, {0, 0, 0}},  // collinear
        {{{1, 1, 1}, {1, 1, 1}, {4, 5, 6}}, {0, 0, 0}},  // two corners in one place
    };
    for (const Case& c : cases) {
        Vertex a(c.p[0].x, c.p[0].y, c.p[0].z), b(c.p[1].x, c.p[1].y, c.p[1].z),
            d(c.p[2].x, c.p[2].y, c.p[2].z);
        Edge e[3] = {{&a, &b}, {&b, &d}, {&d, &a}};
        TriFace face(&e[0], &e[1], &e[2]);
        FaceBase::computeNormal(&face);
        expectVecNear(face.normal, c.normal);
    }
}

TEST(FaceNormal, QuadUsesOnlyItsFirstThreeLoopVertices) {
    Vertex p0(0, 0, 0), p1(1, 0, 0), p2(1, 1, 0), p3(0, 1, 5); // p3 lifted out of the plane
    Edge e[4] = {{&p3, &p0}, {&p0, &p1}, {&p1, &p2}, {&p2, &p3}};
    QuadFace face(&e[0], &e[1], &e[2], &e[3]); // loop p0, p1, p2, p3
    ASSERT_EQ(loopOf(face), (VertexList{&p0, &p1, &p2, &p3}));
    FaceBase::computeNormal(&face);
    expectVecNear(face.normal, {0, 0, 1});
}

TEST(FaceTangentFrame, FollowsTextureSetOneAcrossTheTriangle) {
    // Positions in the z = 0 plane; set 1 maps them as (s, t) = (su * x, tv * y) plus an offset,
    // so the tangent (direction of growing s) is (1 / su, 0, 0) and the binormal (0, 1 / tv, 0).
    struct Case {
        float su, tv;
        Vec3 tangent, binormal;
    };
    const Case cases[] = {
        {1, 1, {1, 0, 0}, {0, 1, 0}},
        {2, 4, {0.5f, 0, 0}, {0, 0.25f, 0}},
        {-1, 1, {-1, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        Vertex a(0, 0, 0), b(3, 0, 0), d(1, 2, 0);
        for (Vertex* v : {&a, &b, &d}) {
            v->setUV1(c.su * v->position.x + 0.5f, c.tv * v->position.y - 0.25f);
            v->setUV0(99, -99); // set 0 plays no part
        }
        Edge e[3] = {{&d, &a}, {&a, &b}, {&b, &d}}; // loop a, b, d
        TriFace face(&e[0], &e[1], &e[2]);
        FaceBase::computeTangentFrame(&face);
        SCOPED_TRACE(c.su);
        expectVecNear(face.tangent, c.tangent);
        expectVecNear(face.binormal, c.binormal);
    }
}

TEST(FaceTangentFrame, DegenerateTextureMappingGivesZeroFrame) {
    struct Case {
        float uv[3][2];
    };
    const Case cases[] = {
        {{{0, 0}, {0, 0}, {0, 0}}},          // set 1 never written
        {{{0, 0}, {1, 1}, {2, 2}}},          // coordinates on one line
        {{{0.5f, 0}, {0.5f, 1}, {0.5f, 3}}}, // constant s
    };
    for (const Case& c : cases) {
        Vertex a(0, 0, 0), b(1, 0, 0), d(0, 1, 0);
        a.setUV1(c.uv[0][0], c.uv[0][1]);
        b.setUV1(c.uv[1][0], c.uv[1][1]);
        d.setUV1(c.uv[2][0], c.uv[2][1]);
        a.setUV0(0, 0);
        b.setUV0(1, 0);
        d.setUV0(0, 1); // a usable set 0 must not be taken instead
        Edge e[3] = {{&d, &a}, {&a, &b}, {&b, &d}};
        TriFace face(&e[0], &e[1], &e[2]);
        face.tangent = Vec3{7, 7, 7};
        face.binormal = Vec3{7, 7, 7};
        FaceBase::computeTangentFrame(&face);
        expectVecNear(face.tangent, {0, 0, 0}, 0);
        expectVecNear(face.binormal, {0, 0, 0}, 0);
    }
}

TEST(FaceRecord, CloneKeepsKindDataAndEdgePointers) {
    Box box;
    QuadFace quad = box.quad({3, 2, 1, 0});
    FaceBase::computeNormal(&quad);
    std::unique_ptr<FaceBase> copy(static_cast<const FaceBase&>(quad).clone());
    ASSERT_EQ(copy->getEdgeCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(copy->getEdge(i), quad.getEdge(i));
    }
    expectVecNear(copy->normal, quad.normal, 0);
    copy->setEdge(0, box.E(5));
    EXPECT_EQ(quad.getEdge(0), box.E(3));

    Vertex a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    Edge e[3] = {{&a, &b}, {&b, &c}, {&c, &a}};
    const TriFace tri(&e[0], &e[1], &e[2]);
    std::unique_ptr<FaceBase> triCopy(tri.clone());
    EXPECT_EQ(triCopy->getEdgeCount(), 3);
    EXPECT_EQ(loopOf(*triCopy), loopOf(tri));
}

TEST(FaceRecord, MissingEdgesGiveNullCornersInsteadOfFaulting) {
    Vertex a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    Edge ab{&a, &b}, ca{&c, &a};
    TriFace face(&ab, nullptr, &ca);
    const VertexList loop = loopOf(face);
    ASSERT_EQ(loop.size(), 3u);
    EXPECT_NE(std::find(loop.begin(), loop.end(), nullptr), loop.end());

    VertexList triangles;
    face.triangulate(triangles);
    EXPECT_EQ(triangles.size(), 3u);

    face.normal = Vec3{1, 1, 1};
    FaceBase::computeNormal(&face);
    FaceBase::computeTangentFrame(&face);
    expectVecNear(face.normal, {0, 0, 0}, 0);
    expectVecNear(face.tangent, {0, 0, 0}, 0);

    Edge dangling{nullptr, nullptr};
    QuadFace hollow(&dangling, nullptr, &dangling, nullptr);
    EXPECT_EQ(loopOf(hollow), (VertexList{nullptr, nullptr, nullptr, nullptr}));
}

TEST(FindSharedEdge, FirstEdgeOfTheFirstFaceThatTheSecondAlsoHas) {
    Vertex p[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    Edge e[6] = {{&p[0], &p[1]}, {&p[1], &p[2]}, {&p[2], &p[0]},
                 {&p[2], &p[3]}, {&p[3], &p[0]}, {&p[1], &p[3]}};
    const TriFace a(&e[0], &e[1], &e[2]);
    const TriFace adjacent(&e[2], &e[3], &e[4]);
    const TriFace apart(&e[3], &e[4], &e[5]);
    const TriFace twice(&e[2], &e[5], &e[1]); // shares e1 and e2, in the other order
    EXPECT_EQ(velmo::findSharedEdge(&a, &adjacent), &e[2]);
    EXPECT_EQ(velmo::findSharedEdge(&adjacent, &a), &e[2]);
    EXPECT_EQ(velmo::findSharedEdge(&a, &apart), nullptr);
    EXPECT_EQ(velmo::findSharedEdge(&a, &twice), &e[1]);
    EXPECT_EQ(velmo::findSharedEdge(&twice, &a), &e[2]);

    const TriFace holed(nullptr, &e[3], &e[4]);
    const TriFace alsoHoled(nullptr, &e[0], &e[5]);
    EXPECT_EQ(velmo::findSharedEdge(&holed, &alsoHoled), nullptr);
}
