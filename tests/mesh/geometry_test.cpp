// The mesh geometry store: deep copies that keep the element graph inside the store, and the
// lazily computed face normals, vertex normals and tangent frames under their validity flags.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/expect_math.h"

#include "engine/mesh/mesh_geometry.h"

using velmo::Edge;
using velmo::FaceBase;
using velmo::MeshGeometry;
using velmo::QuadFace;
using velmo::TriFace;
using velmo::Vec3;
using velmo::Vertex;
using velmo::VertexList;

namespace {


Vec3 unit(float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    return Vec3{x / length, y / length, z / length};
}

Vertex* addVertex(MeshGeometry& g, float x, float y, float z) {
    g.vertices.push_back(new Vertex(x, y, z));
    return g.vertices.back();
}

// The store's edge between two vertices, made when missing, so neighbouring faces share it.
Edge* edgeBetween(MeshGeometry& g, Vertex* a, Vertex* b) {
    for (Edge* e : g.edges) {
        if ((e->a == a && e->b == b) || (e->a == b && e->b == a)) {
            return e;
        }
    }
    g.edges.push_back(new Edge{a, b});
    return g.edges.back();
}

// A face through the listed vertices (by index), in that winding.
FaceBase* addFace(MeshGeometry& g, std::initializer_list<int> corners) {
    std::vector<Vertex*> v;
    for (int i : corners) {
        v.push_back(g.vertices[i]);
    }
    std::vector<Edge*> e;
    for (size_t i = 0; i < v.size(); ++i) {
        e.push_back(edgeBetween(g, v[i], v[(i + 1) % v.size()]));
    }
    FaceBase* face = v.size() == 3 ? static_cast<FaceBase*>(new TriFace(e[0], e[1], e[2]))
                                   : new QuadFace(e[0], e[1], e[2], e[3]);
    g.faces.push_back(face);
    return face;
}

// A box centred on the origin with the given half size, faces wound outward.
void buildBox(MeshGeometry& g, float h) {
    for (int i = 0; i < 8; ++i) {
        addVertex(g, (i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h);
    }
    addFace(g, {0, 1, 5, 4}); // y = -h
    addFace(g, {2, 6, 7, 3}); // y = +h
    addFace(g, {0, 4, 6, 2}); // x = -h
    addFace(g, {1, 3, 7, 5}); // x = +h
    addFace(g, {0, 2, 3, 1}); // z = -h
    addFace(g, {4, 5, 7, 6}); // z = +h
}

template <class T> int indexIn(const std::vector<T*>& list, const T* element) {
    auto it = std::find(list.begin(), list.end(), element);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

// The store's element graph by list positions, with -1 for a pointer outside the store.
struct Shape {
    std::vector<std::pair<int, int>> edgeEnds;
    std::vector<std::vector<int>> faceEdges;
    std::vector<std::vector<float>> positions;
    bool operator==(const Shape&) const = default;
};

Shape shapeOf(const MeshGeometry& g) {
    Shape s;
    for (const Vertex* v : g.vertices) {
        s.positions.push_back({v->position.x, v->position.y, v->position.z});
    }
    for (const Edge* e : g.edges) {
        s.edgeEnds.emplace_back(indexIn(g.vertices, e->a), indexIn(g.vertices, e->b));
    }
    for (const FaceBase* f : g.faces) {
        std::vector<int> corners;
        for (int i = 0; i < f->getEdgeCount(); ++i) {
            corners.push_back(indexIn(g.edges, f->getEdge(i)));
        }
        s.faceEdges.push_back(corners);
    }
    return s;
}

// True when no element of a is also an element of b.
bool sharesNoElement(const MeshGeometry& a, const MeshGeometry& b) {
    for (const Vertex* v : a.vertices) {
        if (indexIn(b.vertices, v) >= 0) {
            return false;
        }
    }
    for (const Edge* e : a.edges) {
        if (indexIn(b.edges, e) >= 0) {
            return false;
        }
    }
    for (const FaceBase* f : a.faces) {
        if (indexIn(b.faces, f) >= 0) {
            return false;
        }
    }
    return true;
}

void setFlags(MeshGeometry& g, bool value) {
    g.vertexNormalsValid = value;
    g.faceNormalsValid = value;
    g.tangentFramesValid = value;
}

// A vertex kind without normal or tangent frame.
struct PositionOnlyVertex : Vertex {
    using Vertex::Vertex;
    Vec3* getNormal() override { return nullptr; }
    Vec3* getTangent() override { return nullptr; }
    Vec3* getBinormal() override { return nullptr; }
    PositionOnlyVertex* clone() const override { return new PositionOnlyVertex(*this); }
};

} // namespace

TEST(GeometryVertexNormals, EmptyStoreComputesNothing) {
    MeshGeometry g;
    EXPECT_FALSE(g.computeNormals());
    g.computeTangents();
    EXPECT_FALSE(g.vertexNormalsValid);
    EXPECT_FALSE(g.faceNormalsValid);
    EXPECT_FALSE(g.tangentFramesValid);
}

TEST(GeometryVertexNormals, VertexKindWithoutNormalsOrFramesIsLeftAlone) {
    MeshGeometry g;
    g.vertices = {new PositionOnlyVertex(0, 0, 0), new PositionOnlyVertex(1, 0, 0),
                  new PositionOnlyVertex(0, 1, 0)};
    addFace(g, {0, 1, 2});
    EXPECT_FALSE(g.computeNormals());
    g.computeTangents();
    EXPECT_FALSE(g.vertexNormalsValid);
    EXPECT_FALSE(g.tangentFramesValid);
}

TEST(GeometryVertexNormals, LargerFacePullsASharedVertexInProportionToItsArea) {
    MeshGeometry g;
    addVertex(g, 0, 0, 0); // 0: shared
    addVertex(g, 1, 0, 0); // 1, 2: area 0.5, facing +z
    addVertex(g, 0, 1, 0);
    addVertex(g, 0, 2, 0); // 3, 4: area 1, facing +x
    addVertex(g, 0, 0, 1);
    Vertex* unused = addVertex(g, 5, 5, 5); // 5: on no face
    unused->setNormal(3, 3, 3);
    addFace(g, {0, 1, 2});
    addFace(g, {0, 3, 4});

    ASSERT_TRUE(g.computeNormals());
    expectVecNear(g.vertices[0]->normal, unit(2, 0, 1));
    expectVecNear(g.vertices[1]->normal, {0, 0, 1});
    expectVecNear(g.vertices[2]->normal, {0, 0, 1});
    expectVecNear(g.vertices[3]->normal, {1, 0, 0});
    expectVecNear(g.vertices[4]->normal, {1, 0, 0});
    expectVecNear(unused->normal, {0, 0, 0}, 0);
    EXPECT_TRUE(g.vertexNormalsValid);
    EXPECT_TRUE(g.faceNormalsValid);
}

TEST(GeometryVertexNormals, BoxCornersPointAwayFromTheCentre) {
    MeshGeometry g;
    buildBox(g, 2.0f);
    ASSERT_TRUE(g.computeNormals());
    for (const Vertex* v : g.vertices) {
        const Vec3& p = v->position;
        expectVecNear(v->normal, unit(p.x, p.y, p.z));
    }
}

TEST(GeometryVertexNormals, ComputedOnceUntilTheirFlagsAreCleared) {
    MeshGeometry g;
    addVertex(g, 0, 0, 0);
    addVertex(g, 1, 0, 0);
    addVertex(g, 0, 1, 0);
    addFace(g, {0, 1, 2});
    ASSERT_TRUE(g.computeNormals());

    // Valid normals are not recomputed, even after the positions changed.
    g.vertices[2]->setPosition(0, 0, 1); // the face now faces -y
    EXPECT_FALSE(g.computeNormals());
    expectVecNear(g.vertices[0]->normal, {0, 0, 1});

    // With face normals still valid, vertex normals are rebuilt from the stale face normal.
    g.vertexNormalsValid = false;
    EXPECT_TRUE(g.computeNormals());
    expectVecNear(g.vertices[0]->normal, {0, 0, 1});

    // Clearing both, as editing does, gives the new orientation.
    g.vertexNormalsValid = false;
    g.faceNormalsValid = false;
    EXPECT_TRUE(g.computeNormals());
    expectVecNear(g.vertices[0]->normal, {0, -1, 0});
}

TEST(GeometryTangentFrames, FaceFramesAreRecomputedAtEveryCall) {
    MeshGeometry g;
    addVertex(g, 0, 0, 0)->setUV1(0, 0);
    addVertex(g, 1, 0, 0)->setUV1(1, 0);
    addVertex(g, 0, 1, 0)->setUV1(0, 1);
    FaceBase* face = addFace(g, {0, 1, 2});
    g.computeFaceTangentFrames();
    expectVecNear(face->tangent, {1, 0, 0});
    g.vertices[1]->setUV1(2, 0);
    g.computeFaceTangentFrames();
    expectVecNear(face->tangent, {0.5f, 0, 0});
}

TEST(GeometryTangentFrames, NormalisedPerVertexAndComputedOnceUntilTheStoreIsRefilled) {
    MeshGeometry g;
    // A unit square in z = 0 whose set 1 grows along +x (s) and +y (t) at different rates.
    const float square[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& [x, y] : square) {
        addVertex(g, x, y, 0)->setUV1(4.0f * x, 0.5f * y);
    }
    Vertex* unused = addVertex(g, 9, 9, 9);
    *unused->getTangent() = Vec3{1, 2, 3};
    addFace(g, {0, 1, 2, 3});

    g.computeTangents();
    EXPECT_TRUE(g.tangentFramesValid);
    for (int i = 0; i < 4; ++i) {
        expectVecNear(g.vertices[i]->tangent, {1, 0, 0});
        expectVecNear(g.vertices[i]->binormal, {0, 1, 0});
    }
    expectVecNear(unused->tangent, {0, 0, 0}, 0);
    expectVecNear(unused->binormal, {0, 0, 0}, 0);

    // Editing access clears only the normal flags: the frames stay as computed.
    for (Vertex* v : g.vertices) {
        v->setUV1(v->uv1[1], v->uv1[0]); // swap s and t
    }
    g.vertexNormalsValid = false;
    g.faceNormalsValid = false;
    g.computeTangents();
    expectVecNear(g.vertices[0]->tangent, {1, 0, 0});

    // Refilling the store clears the flag and the next call follows the new mapping.
    MeshGeometry refilled;
    refilled.tangentFramesValid = true;
    refilled.assign(&g.vertices, &g.edges, &g.faces);
    EXPECT_FALSE(refilled.tangentFramesValid);
    refilled.computeTangents();
    expectVecNear(refilled.vertices[0]->tangent, {0, 1, 0});
    expectVecNear(refilled.vertices[0]->binormal, {1, 0, 0});
}

TEST(GeometryCopy, AssignCopiesTheElementGraphIntoTheStore) {
    auto source = std::make_unique<MeshGeometry>();
    buildBox(*source, 1.0f);
    source->vertices[3]->setUV0(0.25f, 0.5f);
    source->edges[4]->face0 = source->faces[2]; // slots are carried as they stand
    const Shape expected = shapeOf(*source);
    FaceBase* const slot = source->faces[2];

    MeshGeometry copy;
    addVertex(copy, 7, 7, 7); // previous contents are replaced
    addFace(copy, {0, 0, 0});
    copy.assign(&source->vertices, &source->edges, &source->faces);

    EXPECT_EQ(shapeOf(copy), expected);
    EXPECT_TRUE(sharesNoElement(copy, *source));
    EXPECT_EQ(copy.vertices[3]->uv0[0], 0.25f);
    EXPECT_EQ(copy.edges[4]->face0, slot);
    EXPECT_EQ(copy.faces[0]->getEdgeCount(), 4);

    // The copy stands on its own once the source is gone.
    source.reset();
    ASSERT_TRUE(copy.computeNormals());
    expectVecNear(copy.vertices[7]->normal, unit(1, 1, 1));
}

TEST(GeometryCopy, AssignReplacesOnlyTheListsGivenAndLinksOnlyWhatItCopied) {
    struct Case {
        const char* name;
        bool vertices, edges, faces;
    };
    const Case cases[] = {
        {"nothing", false, false, false},
        {"vertices", true, false, false},
        {"edges", false, true, false},
        {"faces", false, false, true},
        {"vertices and edges", true, true, false},
        {"all", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeshGeometry source;
        buildBox(source, 1.0f);
        MeshGeometry g;
        buildBox(g, 3.0f);
        setFlags(g, true);
        const VertexList oldVertices = g.vertices;
        const velmo::EdgeList oldEdges = g.edges;
        const velmo::FaceList oldFaces = g.faces;

        g.assign(c.vertices ? &source.vertices : nullptr, c.edges ? &source.edges : nullptr,
                 c.faces ? &source.faces : nullptr);

        const bool any = c.vertices || c.edges || c.faces;
        EXPECT_EQ(g.vertexNormalsValid, !any);
        EXPECT_EQ(g.faceNormalsValid, !any);
        EXPECT_EQ(g.tangentFramesValid, !any);
        EXPECT_EQ(g.vertices == oldVertices, !c.vertices);
        EXPECT_EQ(g.edges == oldEdges, !c.edges);
        EXPECT_EQ(g.faces == oldFaces, !c.faces);
        if (c.vertices) {
            EXPECT_EQ(g.vertices[7]->position.x, 1.0f);
        }
        // Copied edges and faces reach only elements that the same call copied. Elements left
        // pointing at replaced ones are only deleted, never followed, when the store goes.
        for (const Edge* e : c.edges ? g.edges : velmo::EdgeList{}) {
            EXPECT_EQ(e->a != nullptr, c.vertices);
            EXPECT_EQ(e->b != nullptr, c.vertices);
        }
        for (const FaceBase* f : c.faces ? g.faces : velmo::FaceList{}) {
            for (int i = 0; i < f->getEdgeCount(); ++i) {
                EXPECT_EQ(f->getEdge(i) != nullptr, c.edges);
            }
        }
    }
}

TEST(GeometryCopy, CopyFromKeepsTheStoresOwnFlags) {
    for (bool flags : {false, true}) {
        SCOPED_TRACE(flags);
        MeshGeometry source;
        buildBox(source, 1.0f);
        setFlags(source, !flags);
        MeshGeometry g;
        addVertex(g, 4, 4, 4);
        setFlags(g, flags);

        g.copyFrom(source);
        EXPECT_EQ(shapeOf(g), shapeOf(source));
        EXPECT_TRUE(sharesNoElement(g, source));
        EXPECT_EQ(g.vertexNormalsValid, flags);
        EXPECT_EQ(g.faceNormalsValid, flags);
        EXPECT_EQ(g.tangentFramesValid, flags);
    }
}

TEST(GeometryCopy, CopyingAStoreOntoItselfKeepsItsGeometry) {
    MeshGeometry g;
    buildBox(g, 1.0f);
    const Shape before = shapeOf(g);

    g.copyFrom(g);
    EXPECT_EQ(shapeOf(g), before);

    g.assign(&g.vertices, &g.edges, &g.faces);
    EXPECT_EQ(shapeOf(g), before);
    EXPECT_TRUE(g.computeNormals());
}

TEST(GeometryClear, DeletesEveryElementAndKeepsTheFlags) {
    MeshGeometry g;
    buildBox(g, 1.0f);
    setFlags(g, true);
    g.clear();
    EXPECT_TRUE(g.vertices.empty());
    EXPECT_TRUE(g.edges.empty());
    EXPECT_TRUE(g.faces.empty());
    EXPECT_TRUE(g.vertexNormalsValid);
    EXPECT_TRUE(g.faceNormalsValid);
    EXPECT_TRUE(g.tangentFramesValid);
}
