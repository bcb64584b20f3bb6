// Extruded text meshes from D3DX: glyph outlines of the selected GDI font as closed solids,
// their placement and metrics, the index size, and the clone the engine makes of them.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "gdi/objects.h"
#include "support/engine_fixture.h"

namespace {

struct Vec {
    double x, y, z;
};
Vec operator-(const Vec& a, const Vec& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec cross(const Vec& a, const Vec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec& a, const Vec& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// A mesh's contents: positions and normals of any format that starts with both, and indices.
struct Contents {
    std::vector<Vec> positions;
    std::vector<Vec> normals;
    std::vector<uint32_t> indices;
};

Contents read(ID3DXMesh* mesh, UINT stride) {
    Contents out;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    mesh->GetVertexBuffer(&vb);
    mesh->GetIndexBuffer(&ib);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
        float f[6];
        std::memcpy(f, static_cast<const char*>(data) + size_t(i) * stride, sizeof f);
        out.positions.push_back({f[0], f[1], f[2]});
        out.normals.push_back({f[3], f[4], f[5]});
    }
    vb->Unlock();
    EXPECT_EQ(ib->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    for (size_t i = 0; i < size_t(mesh->GetNumFaces()) * 3; ++i) {
        out.indices.push_back(wide ? static_cast<const uint32_t*>(data)[i]
                                   : static_cast<const uint16_t*>(data)[i]);
    }
    ib->Unlock();
    vb->Release();
    ib->Release();
    return out;
}

class TextMeshes : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dc = CreateCompatibleDC(nullptr);
        // As the engine makes its glyph fonts: height 1, weight 600, the default character set.
        font = CreateFontA(1, 0, 0, 0, 600, 0, 0, 0, 1, 0, 0, 0, 0, "DejaVu Sans");
        ASSERT_NE(font, nullptr);
        SelectObject(dc, font);
    }
    void TearDown() override {
        if (mesh != nullptr) {
            mesh->Release();
        }
        DeleteDC(dc);
        DeleteObject(font);
        EngineTest::TearDown();
    }

    HRESULT make(const std::string& text, float deviation = 0.001f, float extrusion = 0.25f) {
        if (mesh != nullptr) {
            mesh->Release();
            mesh = nullptr;
        }
        metrics.assign(text.size(), GLYPHMETRICSFLOAT{});
        return D3DXCreateTextA(device, dc, text.c_str(), deviation, extrusion, &mesh, nullptr,
                               metrics.data());
    }

    HDC dc = nullptr;
    HFONT font = nullptr;
    ID3DXMesh* mesh = nullptr;
    std::vector<GLYPHMETRICSFLOAT> metrics;
};

TEST_F(TextMeshes, TextsBecomeClosedSolidsFacingOutwardWithinTheirCells) {
    const FT_Face face = port::gdi::fontFromHandle(font)->face();
    const double em = face->units_per_EM;
    const double lowest = face->bbox.yMin / em, highest = face->bbox.yMax / em;
    const float extrusion = 0.25f;
    // 0x81 and 0x90 are undefined in the ANSI code page: the face draws its missing glyph.
    for (const std::string text : {"A", "velmo 08", "\x81\x90"}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(make(text, 0.001f, extrusion), D3D_OK);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
        EXPECT_EQ(mesh->GetOptions(), DWORD(D3DXMESH_MANAGED));
        const Contents c = read(mesh, 24);
        EXPECT_GE(mesh->GetNumFaces(), 12u * (text.size() - 1));
        EXPECT_LT(mesh->GetNumVertices(), 20000u * text.size());

        double advances = 0;
        for (const GLYPHMETRICSFLOAT& m : metrics) {
            advances += m.gmfCellIncX;
            EXPECT_EQ(m.gmfCellIncY, 0.0f);
        }
        Vec low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
        for (const Vec& p : c.positions) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
        EXPECT_GE(low.x, -0.05);
        EXPECT_LT(low.x, 0.2);
        EXPECT_LE(high.x, advances + 0.05);
        EXPECT_GT(high.x, advances - 0.3);
        EXPECT_GE(low.y, lowest);
        EXPECT_LE(high.y, highest);
        EXPECT_FLOAT_EQ(float(low.z), -extrusion); // extruded along -z
        EXPECT_EQ(high.z, 0.0);

        for (const Vec& n : c.normals) {
            ASSERT_NEAR(std::sqrt(dot(n, n)), 1.0, 1e-5);
        }
        // Every triangle looks the way its vertices' normals do; the front is the cap at
        // z = -extrusion, looking towards -z, the back is the cap at z = 0, looking towards +z.
        double volume = 0, frontArea = 0, backArea = 0;
        for (size_t i = 0; i < c.indices.size(); i += 3) {
            const uint32_t a = c.indices[i], b = c.indices[i + 1], d = c.indices[i + 2];
            ASSERT_LT(std::max({a, b, d}), c.positions.size());
            const Vec pa = c.positions[a], pb = c.positions[b], pd = c.positions[d];
            const Vec facing = cross(pb - pa, pd - pa);
            const Vec n = c.normals[a];
            if (std::sqrt(dot(facing, facing)) > 1e-9) {
                EXPECT_GT(dot(facing, n), 0.0) << "triangle " << i / 3;
            }
            if (pa.z == -extrusion && pb.z == -extrusion && pd.z == -extrusion) {
                EXPECT_EQ(n.z, -1.0);
                frontArea += -facing.z / 2;
            } else if (pa.z == 0 && pb.z == 0 && pd.z == 0) {
                EXPECT_EQ(n.z, 1.0);
                backArea += facing.z / 2;
            } else {
                EXPECT_EQ(n.z, 0.0);
            }
            volume += dot(pa, cross(pb, pd)) / 6;
        }
        // A closed surface whose triangles all face outward encloses front area x depth.
        EXPECT_GT(frontArea, 0.05 * text.size());
        EXPECT_NEAR(backArea, frontArea, 1e-6);
        EXPECT_NEAR(volume, frontArea * extrusion, 1e-3 * frontArea * extrusion);
    }
}

TEST_F(TextMeshes, GlyphsFollowEachOtherByTheirAdvancesAndMetricsDescribeTheirCells) {
    ASSERT_EQ(make("A"), D3D_OK);
    const GLYPHMETRICSFLOAT a = metrics[0];
    const Contents one = read(mesh, 24);
    ASSERT_EQ(make("AA"), D3D_OK);
    const Contents two = read(mesh, 24);
    ASSERT_EQ(two.positions.size(), 2 * one.positions.size());
    EXPECT_EQ(metrics[1].gmfCellIncX, a.gmfCellIncX);
    // The second glyph is the first moved along x by the first's advance.
    for (size_t i = 0; i < one.positions.size(); ++i) {
        const Vec p = one.positions[i], q = two.positions[one.positions.size() + i];
        ASSERT_NEAR(q.x - p.x, a.gmfCellIncX, 1e-5);
        ASSERT_EQ(q.y, p.y);
    }

    // The black box of "A" bounds the mesh: its origin is the upper-left corner.
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const Vec& p : one.positions) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    EXPECT_NEAR(a.gmfptGlyphOrigin.x, minX, 1e-5);
    EXPECT_NEAR(a.gmfptGlyphOrigin.y, maxY, 1e-5);
    EXPECT_NEAR(a.gmfBlackBoxX, maxX - minX, 1e-5);
    EXPECT_NEAR(a.gmfBlackBoxY, maxY - minY, 1e-5);
    EXPECT_NEAR(minY, 0.0, 1e-6); // "A" stands on the baseline

    // At an em height of 1 GDI's advance widths are the mesh's.
    HFONT emFont = CreateFontA(-1, 0, 0, 0, 600, 0, 0, 0, 1, 0, 0, 0, 0, "DejaVu Sans");
    ASSERT_EQ(SelectObject(dc, emFont), font);
    FLOAT width = 0;
    ASSERT_TRUE(GetCharWidthFloatA(dc, 'A', 'A', &width));
    EXPECT_FLOAT_EQ(width, a.gmfCellIncX);
    SelectObject(dc, font);
    DeleteObject(emFont);

    // A blank has an advance and no box.
    ASSERT_EQ(make("a b"), D3D_OK);
    EXPECT_GT(metrics[1].gmfCellIncX, 0.0f);
    EXPECT_EQ(metrics[1].gmfBlackBoxX, 0.0f);
    EXPECT_EQ(metrics[1].gmfBlackBoxY, 0.0f);
}

TEST_F(TextMeshes, DeviationSetsHowFinelyCurvesAreFollowed) {
    DWORD previous = 0;
    for (float deviation : {0.05f, 0.01f, 0.001f, 0.0f}) {
        SCOPED_TRACE(deviation);
        ASSERT_EQ(make("O", deviation), D3D_OK);
        EXPECT_GT(mesh->GetNumVertices(), previous);
        previous = mesh->GetNumVertices();
    }
}

TEST_F(TextMeshes, FlatTextHasNoWallsAndLongTextGetsWideIndices) {
    ASSERT_EQ(make("A", 0.001f, 0.0f), D3D_OK);
    const Contents flat = read(mesh, 24);
    for (size_t i = 0; i < flat.positions.size(); ++i) {
        ASSERT_EQ(flat.positions[i].z, 0.0);
        ASSERT_EQ(std::abs(flat.normals[i].z), 1.0);
    }
    const DWORD flatFaces = mesh->GetNumFaces();
    ASSERT_EQ(make("A", 0.001f, 1.0f), D3D_OK);
    EXPECT_GT(mesh->GetNumFaces(), flatFaces);

    // More vertices than 16-bit indices reach: D3DX switches to 32-bit ones.
    const std::string text(120, '@');
    ASSERT_EQ(make(text, 0.0001f), D3D_OK);
    ASSERT_GT(mesh->GetNumVertices(), 0xFFFFu);
    EXPECT_EQ(mesh->GetOptions(), DWORD(D3DXMESH_MANAGED | D3DXMESH_32BIT));
    const Contents wide = read(mesh, 24);
    uint32_t highest = 0;
    for (uint32_t i : wide.indices) {
        highest = std::max(highest, i);
    }
    EXPECT_EQ(highest, mesh->GetNumVertices() - 1);
}

TEST_F(TextMeshes, CloneToTheEngineVertexKeepsPositionsNormalsAndTriangles) {
    ASSERT_EQ(make("velmo"), D3D_OK);
    const Contents original = read(mesh, 24);
    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_32BIT, 0x500412, device, &clone), D3D_OK);
    const Contents copy = read(clone, 64);
    EXPECT_EQ(clone->GetNumFaces(), mesh->GetNumFaces());
    clone->Release();
    ASSERT_EQ(copy.positions.size(), original.positions.size());
    for (size_t i = 0; i < copy.positions.size(); ++i) {
        ASSERT_EQ(copy.positions[i].x, original.positions[i].x);
        ASSERT_EQ(copy.positions[i].z, original.positions[i].z);
        ASSERT_EQ(copy.normals[i].y, original.normals[i].y);
    }
    EXPECT_EQ(copy.indices, original.indices);
}

TEST_F(TextMeshes, TextWithoutOutlinesAndInvalidArgumentsGiveNoMesh) {
    EXPECT_EQ(make(""), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(make("   "), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);

    HDC bare = CreateCompatibleDC(nullptr);
    HDC gone = CreateCompatibleDC(nullptr);
    DeleteDC(gone);
    ID3DXBuffer* adjacency = nullptr;
    struct Case {
        const char* what;
        IDirect3DDevice9* device;
        HDC dc;
        const char* text;
        float deviation;
        float extrusion;
        ID3DXBuffer** adjacency;
        HRESULT expected;
    };
    const Case cases[] = {
        {"no device", nullptr, dc, "A", 0.001f, 1, nullptr, D3DERR_INVALIDCALL},
        {"no device context", device, nullptr, "A", 0.001f, 1, nullptr, D3DERR_INVALIDCALL},
        {"no font selected", device, bare, "A", 0.001f, 1, nullptr, D3DERR_INVALIDCALL},
        {"deleted device context", device, gone, "A", 0.001f, 1, nullptr, D3DERR_INVALIDCALL},
        {"no text", device, dc, nullptr, 0.001f, 1, nullptr, D3DERR_INVALIDCALL},
        {"negative deviation", device, dc, "A", -0.1f, 1, nullptr, D3DERR_INVALIDCALL},
        {"NaN deviation", device, dc, "A", NAN, 1, nullptr, D3DERR_INVALIDCALL},
        {"negative extrusion", device, dc, "A", 0.001f, -1, nullptr, D3DERR_INVALIDCALL},
        {"infinite extrusion", device, dc, "A", 0.001f, INFINITY, nullptr, D3DERR_INVALIDCALL},
        {"adjacency asked for", device, dc, "A", 0.001f, 1, &adjacency, E_NOTIMPL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ID3DXMesh* out = reinterpret_cast<ID3DXMesh*>(&adjacency); // must be overwritten
        EXPECT_EQ(D3DXCreateTextA(c.device, c.dc, c.text, c.deviation, c.extrusion, &out,
                                  c.adjacency, nullptr),
                  c.expected);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(adjacency, nullptr);
    }
    EXPECT_EQ(D3DXCreateTextA(device, dc, "A", 0.001f, 1, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    DeleteDC(bare);
}

} // namespace
