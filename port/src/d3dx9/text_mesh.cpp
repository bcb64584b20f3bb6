// D3DXCreateTextA: the glyph outlines of the selected font, read with FreeType and flattened
// to polylines, filled by GLU's tessellator into two caps joined by side walls along every
// contour. As in Direct3D, the text is extruded along -z: one cap lies at z = 0 looking along
// +z, the other at z = -extrusion looking towards -z.
#include <d3dx9.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include <GL/glu.h>

#include "gdi/objects.h"

#include FT_OUTLINE_H

namespace {

struct Point {
    double x;
    double y;
};
using Contour = std::vector<Point>;

// The most segments one curve is split into, whatever the deviation asked for.
constexpr int maxCurveSegments = 256;
// Side-wall normals are shared across a contour point where the wall turns by less than this
// (cosine of 35 degrees), so flattened curves look round and corners stay sharp.
constexpr double smoothTurnCosine = 0.8191520442889918;

// Collects an outline's contours as closed polylines whose curves stay within a tolerance.
class OutlineFlattener {
public:
    explicit OutlineFlattener(double tolerance) : tolerance(tolerance) {}

    bool flatten(const FT_Outline& outline, std::vector<Contour>& contours) {
        out = &contours;
        FT_Outline_Funcs funcs{};
        funcs.move_to = moveTo;
        funcs.line_to = lineTo;
        funcs.conic_to = conicTo;
        funcs.cubic_to = cubicTo;
        if (FT_Outline_Decompose(const_cast<FT_Outline*>(&outline), &funcs, this) != 0) {
            return false;
        }
        // Drop repeated points, the closing copy of the first point and what then has no area.
        for (Contour& contour : contours) {
            Contour kept;
            for (const Point& p : contour) {
                if (kept.empty() || p.x != kept.back().x || p.y != kept.back().y) {
                    kept.push_back(p);
                }
            }
            while (kept.size() > 1 && kept.back().x == kept.front().x &&
                   kept.back().y == kept.front().y) {
                kept.pop_back();
            }
            contour.swap(kept);
        }
        std::erase_if(contours, [](const Contour& c) { return c.size() < 3; });
        return true;
    }

private:
    static Point point(const FT_Vector* v) { return {double(v->x), double(v->y)}; }
    static double length(double x, double y) { return std::sqrt(x * x + y * y); }

    int segmentsFor(double secondDifference, double factor) const {
        const double n = std::ceil(std::sqrt(factor * secondDifference / tolerance));
        return std::clamp(int(std::isfinite(n) ? n : maxCurveSegments), 1, maxCurveSegments);
    }

    static int moveTo(const FT_Vector* to, void* user) {
        auto* self = static_cast<OutlineFlattener*>(user);
        self->out->emplace_back();
        self->out->back().push_back(point(to));
        self->current = point(to);
        return 0;
    }

    static int lineTo(const FT_Vector* to, void* user) {
        auto* self = static_cast<OutlineFlattener*>(user);
        self->add(point(to));
        return 0;
    }

    // A quadratic curve's distance from its chord over a parameter step h is at most
    // |p0 - 2 p1 + p2| h^2 / 4, so n equal steps keep within the tolerance.
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        auto* self = static_cast<OutlineFlattener*>(user);
        const Point p0 = self->current, p1 = point(control), p2 = point(to);
        const int n =
            self->segmentsFor(length(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y), 0.25);
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n, s = 1 - t;
            self->add({s * s * p0.x + 2 * s * t * p1.x + t * t * p2.x,
                       s * s * p0.y + 2 * s * t * p1.y + t * t * p2.y});
        }
        return 0;
    }

    // For a cubic the bound is 3/4 of the larger second difference times h^2.
    static int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to,
                       void* user) {
        auto* self = static_cast<OutlineFlattener*>(user);
        const Point p0 = self->current, p1 = point(control1), p2 = point(control2), p3 = point(to);
        const double d = std::max(length(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                  length(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
        const int n = self->segmentsFor(d, 0.75);
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n, s = 1 - t;
            const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, e = t * t * t;
            self->add({a * p0.x + b * p1.x + c * p2.x + e * p3.x,
                       a * p0.y + b * p1.y + c * p2.y + e * p3.y});
        }
        return 0;
    }

    void add(Point p) {
        out->back().push_back(p);
        current = p;
    }

    double tolerance;
    Point current{};
    std::vector<Contour>* out = nullptr;
};

// The filled area of a set of contours as triangles over their points and the points GLU
// adds where contours cross.
class Tessellation {
public:
    bool run(const std::vector<Contour>& contours, bool evenOdd) {
        points.clear();
        triangles.clear();
        failed = false;
        for (const Contour& contour : contours) {
            points.insert(points.end(), contour.begin(), contour.end());
        }
        GLUtesselator* tess = gluNewTess();
        if (tess == nullptr) {
            return false;
        }
        using Callback = void(GLAPIENTRY*)();
        gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(begin));
        gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(vertex));
        gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(combine));
        gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(error));
        // With an edge-flag callback GLU hands out separate triangles only.
        gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(edgeFlag));
        gluTessProperty(tess, GLU_TESS_WINDING_RULE,
                        evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
        gluTessNormal(tess, 0, 0, 1);
        // GLU reads the coordinates until the polygon ends: keep them at fixed addresses.
        std::deque<std::array<GLdouble, 3>> coordinates;
        uintptr_t index = 0;
        gluTessBeginPolygon(tess, this);
        for (const Contour& contour : contours) {
            gluTessBeginContour(tess);
            for (const Point& p : contour) {
                coordinates.push_back({p.x, p.y, 0.0});
                // Vertex data is the point's index plus one, so that no vertex is null.
                gluTessVertex(tess, coordinates.back().data(), reinterpret_cast<void*>(++index));
            }
            gluTessEndContour(tess);
        }
        gluTessEndPolygon(tess);
        gluDeleteTess(tess);
        return !failed && triangles.size() % 3 == 0;
    }

    std::vector<Point> points;
    std::vector<uint32_t> triangles;

private:
    static Tessellation& self(void* data) { return *static_cast<Tessellation*>(data); }
    static void GLAPIENTRY begin(GLenum, void*) {}
    static void GLAPIENTRY edgeFlag(GLboolean, void*) {}
    static void GLAPIENTRY vertex(void* vertexData, void* data) {
        self(data).triangles.push_back(uint32_t(reinterpret_cast<uintptr_t>(vertexData) - 1));
    }
    static void GLAPIENTRY combine(GLdouble coords[3], void* [4], GLfloat[4], void** outData,
                                   void* data) {
        Tessellation& t = self(data);
        t.points.push_back({coords[0], coords[1]});
        *outData = reinterpret_cast<void*>(uintptr_t(t.points.size()));
    }
    static void GLAPIENTRY error(GLenum, void* data) { self(data).failed = true; }

    bool failed = false;
};

struct TextVertex {
    float position[3];
    float normal[3];
};

// The mesh's vertices and triangles, glyph by glyph. Front faces are clockwise seen from -z,
// so that Direct3D's default culling keeps them; every triangle (a, b, c) has
// (b - a) x (c - a) pointing the way its face looks.
class TextMeshBuilder {
public:
    TextMeshBuilder(double emPerUnit, float extrusion)
        : emPerUnit(emPerUnit), extrusion(extrusion) {}

    void addFaces(const Tessellation& shape, double penX) {
        const auto front = uint32_t(vertices.size());
        for (const Point& p : shape.points) {
            vertices.push_back(vertexAt(p, penX, 0.0f, 0, 0, -1));
        }
        const auto back = uint32_t(vertices.size());
        for (const Point& p : shape.points) {
            vertices.push_back(vertexAt(p, penX, extrusion, 0, 0, 1));
        }
        for (size_t i = 0; i + 2 < shape.triangles.size(); i += 3) {
            uint32_t a = shape.triangles[i], b = shape.triangles[i + 1], c = shape.triangles[i + 2];
            const Point &pa = shape.points[a], &pb = shape.points[b], &pc = shape.points[c];
            const double area = (pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x);
            if (area == 0) {
                continue;
            }
            if (area > 0) {
                std::swap(b, c);
            }
            indices.insert(indices.end(), {front + a, front + b, front + c});
            indices.insert(indices.end(), {back + a, back + c, back + b});
        }
    }

    // Walls along each contour; fillOnRight says on which side of the contours' direction
    // the glyph is filled, so the walls face away from it.
    void addSides(const std::vector<Contour>& contours, double penX, bool fillOnRight) {
        if (extrusion == 0.0f) {
            return;
        }
        for (const Contour& contour : contours) {
            const size_t n = contour.size();
            std::vector<Point> normals(n); // outward normal of the edge from point i to i + 1
            for (size_t i = 0; i < n; ++i) {
                const Point& p = contour[i];
                const Point& q = contour[(i + 1) % n];
                const double dx = q.x - p.x, dy = q.y - p.y, len = std::hypot(dx, dy);
                normals[i] = fillOnRight ? Point{-dy / len, dx / len} : Point{dy / len, -dx / len};
            }
            for (size_t i = 0; i < n; ++i) {
                const Point& p = contour[i];
                const Point& q = contour[(i + 1) % n];
                const Point start = jointNormal(normals[i], normals[(i + n - 1) % n]);
                const Point end = jointNormal(normals[i], normals[(i + 1) % n]);
                const auto a = uint32_t(vertices.size());
                vertices.push_back(vertexAt(p, penX, 0.0f, start.x, start.y, 0));
                vertices.push_back(vertexAt(q, penX, 0.0f, end.x, end.y, 0));
                vertices.push_back(vertexAt(q, penX, extrusion, end.x, end.y, 0));
                vertices.push_back(vertexAt(p, penX, extrusion, start.x, start.y, 0));
                // a, a+1 at the front; a+2, a+3 at the back. (a+1 - a) x (a+3 - a) is the
                // edge's right-hand normal.
                if (fillOnRight) {
                    indices.insert(indices.end(), {a, a + 3, a + 1, a + 1, a + 3, a + 2});
                } else {
                    indices.insert(indices.end(), {a, a + 1, a + 3, a + 1, a + 2, a + 3});
                }
            }
        }
    }

    // Mirrors the mesh in z, keeping every triangle wound the way its face looks: the caps
    // are built at z = 0 and z = extrusion, and the text extrudes along -z.
    void mirrorZ() {
        for (TextVertex& v : vertices) {
            v.position[2] = -v.position[2];
            v.normal[2] = -v.normal[2];
        }
        for (size_t i = 0; i + 2 < indices.size(); i += 3) {
            std::swap(indices[i + 1], indices[i + 2]);
        }
    }

    std::vector<TextVertex> vertices;
    std::vector<uint32_t> indices;

private:
    // The normal at a contour point for the edge with normal own, where it meets the edge
    // with normal other: their mean where the wall turns gently, its own at a corner.
    static Point jointNormal(const Point& own, const Point& other) {
        if (own.x * other.x + own.y * other.y < smoothTurnCosine) {
            return own;
        }
        const double x = own.x + other.x, y = own.y + other.y, len = std::hypot(x, y);
        return {x / len, y / len};
    }

    TextVertex vertexAt(const Point& p, double penX, float z, double nx, double ny,
                        double nz) const {
        return {{float((p.x + penX) * emPerUnit), float(p.y * emPerUnit), z},
                {float(nx), float(ny), float(nz)}};
    }

    double emPerUnit;
    float extrusion;
};

GLYPHMETRICSFLOAT metricsOf(const std::vector<Contour>& contours, double advance,
                            double emPerUnit) {
    GLYPHMETRICSFLOAT metrics{};
    metrics.gmfCellIncX = float(advance * emPerUnit);
    if (contours.empty()) {
        return metrics;
    }
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (const Contour& contour : contours) {
        for (const Point& p : contour) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    metrics.gmfBlackBoxX = float((maxX - minX) * emPerUnit);
    metrics.gmfBlackBoxY = float((maxY - minY) * emPerUnit);
    metrics.gmfptGlyphOrigin = {float(minX * emPerUnit), float(maxY * emPerUnit)};
    return metrics;
}

HRESULT makeMesh(IDirect3DDevice9* device, const TextMeshBuilder& builder, ID3DXMesh** mesh) {
    const auto vertexCount = DWORD(builder.vertices.size());
    const auto faceCount = DWORD(builder.indices.size() / 3);
    const bool wide = vertexCount > 0xFFFF;
    ID3DXMesh* made = nullptr;
    HRESULT hr =
        D3DXCreateMeshFVF(faceCount, vertexCount, D3DXMESH_MANAGED | (wide ? D3DXMESH_32BIT : 0),
                          D3DFVF_XYZ | D3DFVF_NORMAL, device, &made);
    if (FAILED(hr)) {
        return hr;
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    void* data = nullptr;
    made->GetVertexBuffer(&vb);
    made->GetIndexBuffer(&ib);
    hr = vb->Lock(0, 0, &data, 0);
    if (SUCCEEDED(hr)) {
        std::memcpy(data, builder.vertices.data(), builder.vertices.size() * sizeof(TextVertex));
        vb->Unlock();
        hr = ib->Lock(0, 0, &data, 0);
    }
    if (SUCCEEDED(hr)) {
        if (wide) {
            std::memcpy(data, builder.indices.data(), builder.indices.size() * 4);
        } else {
            auto* narrow = static_cast<uint16_t*>(data);
            for (size_t i = 0; i < builder.indices.size(); ++i) {
                narrow[i] = uint16_t(builder.indices[i]);
            }
        }
        ib->Unlock();
    }
    vb->Release();
    ib->Release();
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *mesh = made;
    return D3D_OK;
}

HRESULT createText(IDirect3DDevice9* device, const port::gdi::Font& font, LPCSTR text,
                   float deviation, float extrusion, ID3DXMesh** mesh,
                   LPGLYPHMETRICSFLOAT glyphMetrics) {
    const double emPerUnit = 1.0 / font.unitsPerEm();
    // A deviation of 0 follows the outline to the precision it is stored with.
    OutlineFlattener flattener(deviation > 0 ? deviation * font.unitsPerEm() : 1.0);
    TextMeshBuilder builder(emPerUnit, extrusion);
    std::vector<GLYPHMETRICSFLOAT> metrics;
    Tessellation shape;
    double penX = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        const FT_UInt glyph = font.glyphIndex(static_cast<unsigned char>(*c));
        const FT_Outline* outline = font.loadOutline(glyph);
        if (outline == nullptr) {
            return D3DXERR_INVALIDDATA;
        }
        const bool fillOnRight =
            FT_Outline_Get_Orientation(const_cast<FT_Outline*>(outline)) == FT_ORIENTATION_TRUETYPE;
        const bool evenOdd = (outline->flags & FT_OUTLINE_EVEN_ODD_FILL) != 0;
        std::vector<Contour> contours;
        if (!flattener.flatten(*outline, contours)) {
            return D3DXERR_INVALIDDATA;
        }
        const double advance = font.advance(glyph);
        metrics.push_back(metricsOf(contours, advance, emPerUnit));
        if (!contours.empty()) {
            if (!shape.run(contours, evenOdd)) {
                return D3DXERR_INVALIDDATA;
            }
            builder.addFaces(shape, penX);
            builder.addSides(contours, penX, fillOnRight);
        }
        penX += advance;
    }
    // A mesh needs at least one triangle: text of blanks alone gives none.
    if (builder.indices.empty()) {
        return D3DERR_INVALIDCALL;
    }
    builder.mirrorZ();
    const HRESULT hr = makeMesh(device, builder, mesh);
    if (SUCCEEDED(hr) && glyphMetrics != nullptr) {
        std::copy(metrics.begin(), metrics.end(), glyphMetrics);
    }
    return hr;
}

} // namespace

HRESULT WINAPI D3DXCreateTextA(IDirect3DDevice9* device, HDC dc, LPCSTR text, FLOAT deviation,
                               FLOAT extrusion, ID3DXMesh** mesh, ID3DXBuffer** adjacency,
                               LPGLYPHMETRICSFLOAT glyphMetrics) {
    if (mesh == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *mesh = nullptr;
    if (adjacency != nullptr) {
        *adjacency = nullptr;
        return E_NOTIMPL;
    }
    if (device == nullptr || text == nullptr || !std::isfinite(deviation) || deviation < 0 ||
        !std::isfinite(extrusion) || extrusion < 0) {
        return D3DERR_INVALIDCALL;
    }
    const port::gdi::Font* font = port::gdi::selectedFont(dc);
    if (font == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    try {
        return createText(device, *font, text, deviation, extrusion, mesh, glyphMetrics);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
