#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace models {

namespace {

// Appends a vertex with its normal and texture coordinates, returning its index.
uint32_t addVertex(Mesh& m, Vec3 p, Vec3 n, Vec2 uv) {
    m.positions.push_back(p);
    m.normals.push_back(n);
    m.uv0.push_back(uv);
    return static_cast<uint32_t>(m.positions.size() - 1);
}

Vec3 faceNormal(const Mesh& m, const Triangle& t) {
    return cross(m.positions[t[1]] - m.positions[t[0]], m.positions[t[2]] - m.positions[t[0]]);
}

// Any unit vector perpendicular to t.
Vec3 perpendicular(Vec3 t) {
    Vec3 axis = std::fabs(t.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    return normalize(cross(cross(t, axis), t));
}

float axisOf(Vec3 p, int axis) {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}
// Splits every triangle that the plane (coordinate `axis` = c) crosses; corners closer than
// 1e-5 to the plane count as on it.
void splitByPlane(Mesh& mesh, int axis, float c) {
    Mesh out = mesh;
    out.triangles.clear();
    out.faceMaterials.clear();
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> cut;
    auto side = [&](uint32_t v) {
        float d = axisOf(mesh.positions[v], axis) - c;
        return d > 1e-5f ? 1 : d < -1e-5f ? -1 : 0;
    };
    auto cutEdge = [&](uint32_t a, uint32_t b) {
        if (b < a)
            std::swap(a, b);
        auto found = cut.find({a, b});
        if (found != cut.end())
            return found->second;
        Vec3 pa = mesh.positions[a], pb = mesh.positions[b];
        float t = (c - axisOf(pa, axis)) / (axisOf(pb, axis) - axisOf(pa, axis));
        out.positions.push_back(pa + (pb - pa) * t);
        if (!mesh.normals.empty())
            out.normals.push_back(
                normalize(mesh.normals[a] + (mesh.normals[b] - mesh.normals[a]) * t));
        if (!mesh.uv0.empty())
            out.uv0.push_back(mesh.uv0[a] + (mesh.uv0[b] - mesh.uv0[a]) * t);
        if (!mesh.uv1.empty())
            out.uv1.push_back(mesh.uv1[a] + (mesh.uv1[b] - mesh.uv1[a]) * t);
        uint32_t v = static_cast<uint32_t>(out.positions.size() - 1);
        cut[{a, b}] = v;
        return v;
    };
    for (size_t f = 0; f < mesh.triangles.size(); ++f) {
        Triangle t = mesh.triangles[f];
        uint32_t material = mesh.faceMaterials.empty() ? 0 : mesh.faceMaterials[f];
        auto emit = [&](Triangle n) {
            out.triangles.push_back(n);
            if (!mesh.faceMaterials.empty())
                out.faceMaterials.push_back(material);
        };
        int s[3] = {side(t[0]), side(t[1]), side(t[2])};
        bool below = s[0] < 0 || s[1] < 0 || s[2]<0, above = s[0]> 0 || s[1] > 0 || s[2] > 0;
        if (!below || !above) {
            emit(t);
            continue;
        }
        // Rotate (keeping the winding) so that corner 0 is the odd one out: on the plane, or
        // alone on its side.
        for (int r = 0; r < 3; ++r) {
            bool onPlane = s[0] == 0 && s[1] * s[2] < 0;
            bool alone = s[0] != 0 && s[1] != s[0] && s[2] != s[0];
            if (onPlane || alone)
                break;
            std::rotate(t.begin(), t.begin() + 1, t.end());
            std::rotate(s, s + 1, s + 3);
        }
        if (s[0] == 0) {
            uint32_t m = cutEdge(t[1], t[2]);
            emit({t[0], t[1], m});
            emit({t[0], m, t[2]});
        } else if (s[1] == 0) {
            uint32_t m = cutEdge(t[2], t[0]);
            emit({t[0], t[1], m});
            emit({t[1], t[2], m});
        } else if (s[2] == 0) {
            uint32_t m = cutEdge(t[0], t[1]);
            emit({t[0], m, t[2]});
            emit({m, t[1], t[2]});
        } else {
            uint32_t ab = cutEdge(t[0], t[1]), ca = cutEdge(t[2], t[0]);
            emit({t[0], ab, ca});
            emit({ab, t[1], t[2]});
            emit({ab, t[2], ca});
        }
    }
    mesh = std::move(out);
}
} // namespace

Mesh box(Vec3 lo, Vec3 hi) {
    Mesh m;
    // Each face: outward normal and two in-plane axes u, v with u x v = normal.
    const struct {
        Vec3 n, u, v;
    } faces[] = {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                 {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                 {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    Vec3 centre = (lo + hi) * 0.5f, half = (hi - lo) * 0.5f;
    auto scale = [&](Vec3 a) { return Vec3{a.x * half.x, a.y * half.y, a.z * half.z}; };
    for (const auto& f : faces) {
        Vec3 c = centre + scale(f.n), u = scale(f.u), v = scale(f.v);
        uint32_t a = addVertex(m, c - u - v, f.n, {0, 1});
        uint32_t b = addVertex(m, c + u - v, f.n, {1, 1});
        uint32_t d = addVertex(m, c + u + v, f.n, {1, 0});
        uint32_t e = addVertex(m, c - u + v, f.n, {0, 0});
        m.triangles.push_back({a, b, d});
        m.triangles.push_back({a, d, e});
    }
    return m;
}

Mesh lathe(const std::vector<Vec2>& profile, int segments, float creaseDegrees) {
    Mesh m;
    std::vector<float> along(profile.size(), 0);
    for (size_t j = 1; j < profile.size(); ++j)
        along[j] = along[j - 1] +
                   std::hypot(profile[j].x - profile[j - 1].x, profile[j].y - profile[j - 1].y);
    float total = along.back() > 0 ? along.back() : 1;
    auto point = [&](size_t j, int i) {
        float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
        return Vec3{profile[j].x * std::cos(a), profile[j].y, profile[j].x * std::sin(a)};
    };
    // Each profile segment gets its own rows of vertices, so smoothing can keep its creases.
    for (size_t j = 0; j + 1 < profile.size(); ++j) {
        uint32_t base = static_cast<uint32_t>(m.positions.size());
        for (int i = 0; i <= segments; ++i)
            for (size_t k = j; k <= j + 1; ++k)
                addVertex(
                    m, point(k, i), {},
                    {static_cast<float>(i) / static_cast<float>(segments), 1 - along[k] / total});
        for (int i = 0; i < segments; ++i) {
            uint32_t a = base + 2 * i, b = a + 1, c = a + 3, d = a + 2;
            if (profile[j + 1].x != 0)
                m.triangles.push_back({a, b, c});
            if (profile[j].x != 0)
                m.triangles.push_back({a, c, d});
        }
    }
    smoothNormals(m, creaseDegrees);
    return m;
}

Mesh cylinder(float radius, float y0, float y1, int segments) {
    return lathe({{0, y0}, {radius, y0}, {radius, y1}, {0, y1}}, segments);
}

Mesh sphere(float radius, int rings, int segments) {
    std::vector<Vec2> profile;
    for (int j = 0; j <= rings; ++j) {
        float a = kPi * static_cast<float>(j) / static_cast<float>(rings);
        profile.push_back(
            {j == 0 || j == rings ? 0.0f : radius * std::sin(a), -radius * std::cos(a)});
    }
    Mesh m = lathe(profile, segments, 180);
    // Exact radial normals.
    for (size_t i = 0; i < m.positions.size(); ++i)
        m.normals[i] = normalize(m.positions[i]);
    return m;
}

Mesh extrude(const std::vector<Vec2>& outline, float z0, float z1) {
    Mesh m;
    Vec2 lo = outline[0], hi = outline[0];
    for (Vec2 p : outline) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
    }
    auto capUv = [&](Vec2 p) {
        return Vec2{(p.x - lo.x) / std::max(hi.x - lo.x, 1e-6f),
                    1 - (p.y - lo.y) / std::max(hi.y - lo.y, 1e-6f)};
    };
    std::vector<Triangle> cap = triangulate(outline);
    for (int side = 0; side < 2; ++side) {
        float z = side == 0 ? z1 : z0;
        Vec3 n{0, 0, side == 0 ? 1.0f : -1.0f};
        uint32_t base = static_cast<uint32_t>(m.positions.size());
        for (Vec2 p : outline)
            addVertex(m, {p.x, p.y, z}, n, capUv(p));
        for (const Triangle& t : cap)
            m.triangles.push_back(side == 0 ? Triangle{base + t[0], base + t[1], base + t[2]}
                                            : Triangle{base + t[0], base + t[2], base + t[1]});
    }
    float perimeter = 0;
    for (size_t i = 0; i < outline.size(); ++i) {
        Vec2 p = outline[i], q = outline[(i + 1) % outline.size()];
        Vec2 d = q - p;
        float len = std::hypot(d.x, d.y);
        Vec3 n = normalize({d.y, -d.x, 0});
        float u0 = perimeter / 10, u1 = (perimeter + len) / 10;
        uint32_t a = addVertex(m, {p.x, p.y, z0}, n, {u0, 1});
        uint32_t b = addVertex(m, {q.x, q.y, z0}, n, {u1, 1});
        uint32_t c = addVertex(m, {q.x, q.y, z1}, n, {u1, 0});
        uint32_t e = addVertex(m, {p.x, p.y, z1}, n, {u0, 0});
        m.triangles.push_back({a, b, c});
        m.triangles.push_back({a, c, e});
        perimeter += len;
    }
    return m;
}

Mesh quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 uvLo, Vec2 uvHi) {
    Mesh m;
    Vec3 n = normalize(cross(p1 - p0, p2 - p0));
    m.positions = {p0, p1, p2, p3};
    m.normals = {n, n, n, n};
    m.uv0 = {{uvLo.x, uvHi.y}, {uvHi.x, uvHi.y}, {uvHi.x, uvLo.y}, {uvLo.x, uvLo.y}};
    m.triangles = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

Mesh tube(const std::vector<Vec3>& path, float radius, int sides, bool closed) {
    Mesh m;
    size_t n = path.size();
    std::vector<Vec3> tangents(n), normals(n);
    for (size_t k = 0; k < n; ++k) {
        Vec3 next = closed || k + 1 < n ? path[(k + 1) % n] : path[k];
        Vec3 prev = closed || k > 0 ? path[(k + n - 1) % n] : path[k];
        tangents[k] = normalize(next - prev);
        Vec3 carried = k == 0 ? perpendicular(tangents[0]) : normals[k - 1];
        normals[k] = normalize(carried - tangents[k] * dot(carried, tangents[k]));
    }
    size_t rings = closed ? n + 1 : n;
    for (size_t k = 0; k < rings; ++k) {
        size_t p = k % n;
        Vec3 b = cross(tangents[p], normals[p]);
        for (int j = 0; j <= sides; ++j) {
            float a = 2 * kPi * static_cast<float>(j) / static_cast<float>(sides);
            Vec3 radial = normals[p] * std::cos(a) + b * std::sin(a);
            addVertex(m, path[p] + radial * radius, radial,
                      {static_cast<float>(j) / static_cast<float>(sides),
                       static_cast<float>(k) / static_cast<float>(rings - 1)});
        }
    }
    uint32_t row = static_cast<uint32_t>(sides + 1);
    for (uint32_t k = 0; k + 1 < rings; ++k)
        for (uint32_t j = 0; j < static_cast<uint32_t>(sides); ++j) {
            uint32_t a = k * row + j, b = a + row, c = b + 1, d = a + 1;
            m.triangles.push_back({a, d, c});
            m.triangles.push_back({a, c, b});
        }
    if (!closed) {
        for (int end = 0; end < 2; ++end) {
            size_t k = end == 0 ? 0 : n - 1;
            Vec3 out = end == 0 ? -tangents[k] : tangents[k];
            uint32_t centre = addVertex(m, path[k], out, {0.5f, 0.5f});
            uint32_t first = static_cast<uint32_t>(m.positions.size());
            for (int j = 0; j < sides; ++j) {
                Vec3 p = m.positions[k * row + j];
                addVertex(m, p, out, {0.5f, 0.5f});
            }
            for (uint32_t j = 0; j < static_cast<uint32_t>(sides); ++j) {
                uint32_t a = first + j, b = first + (j + 1) % sides;
                m.triangles.push_back(end == 0 ? Triangle{centre, b, a} : Triangle{centre, a, b});
            }
        }
    }
    return m;
}

void transform(Mesh& mesh, const Mat4& m) {
    const auto& a = m.m;
    float det = m.determinant3();
    // Inverse transpose of the 3x3 part: the cofactor matrix over the determinant.
    float c[9] = {
        a[5] * a[10] - a[6] * a[9],    -(a[4] * a[10] - a[6] * a[8]), a[4] * a[9] - a[5] * a[8],
        -(a[1] * a[10] - a[2] * a[9]), a[0] * a[10] - a[2] * a[8],    -(a[0] * a[9] - a[1] * a[8]),
        a[1] * a[6] - a[2] * a[5],     -(a[0] * a[6] - a[2] * a[4]),  a[0] * a[5] - a[1] * a[4]};
    for (Vec3& p : mesh.positions)
        p = m.transformPoint(p);
    for (Vec3& n : mesh.normals)
        n = normalize(Vec3{n.x * c[0] + n.y * c[3] + n.z * c[6],
                           n.x * c[1] + n.y * c[4] + n.z * c[7],
                           n.x * c[2] + n.y * c[5] + n.z * c[8]} *
                      (det < 0 ? -1.0f : 1.0f));
    if (det < 0)
        for (Triangle& t : mesh.triangles)
            std::swap(t[1], t[2]);
}

Mesh transformed(Mesh mesh, const Mat4& m) {
    transform(mesh, m);
    return mesh;
}

void merge(Mesh& into, const Mesh& add) {
    uint32_t base = static_cast<uint32_t>(into.positions.size());
    auto append = [&](auto& dst, const auto& src, size_t before, size_t count) {
        if (dst.empty() && src.empty())
            return;
        dst.resize(before);
        if (src.empty())
            dst.resize(before + count);
        else
            dst.insert(dst.end(), src.begin(), src.end());
    };
    append(into.normals, add.normals, base, add.positions.size());
    append(into.uv0, add.uv0, base, add.positions.size());
    append(into.uv1, add.uv1, base, add.positions.size());
    into.positions.insert(into.positions.end(), add.positions.begin(), add.positions.end());
    append(into.faceMaterials, add.faceMaterials, into.triangles.size(), add.triangles.size());
    for (Triangle t : add.triangles)
        into.triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
}

void flipFaces(Mesh& mesh) {
    for (Triangle& t : mesh.triangles)
        std::swap(t[1], t[2]);
    for (Vec3& n : mesh.normals)
        n = -n;
}

void smoothNormals(Mesh& mesh, float creaseDegrees) {
    std::vector<Vec3> face(mesh.triangles.size());
    std::vector<Vec3> own(mesh.positions.size());
    std::map<std::array<float, 3>, std::vector<uint32_t>> facesAt;
    for (size_t f = 0; f < mesh.triangles.size(); ++f) {
        face[f] = faceNormal(mesh, mesh.triangles[f]);
        for (uint32_t v : mesh.triangles[f]) {
            own[v] = own[v] + face[f];
            Vec3 p = mesh.positions[v];
            auto& list = facesAt[{p.x, p.y, p.z}];
            if (list.empty() || list.back() != f)
                list.push_back(static_cast<uint32_t>(f));
        }
    }
    float limit = std::cos(creaseDegrees * kPi / 180);
    mesh.normals.assign(mesh.positions.size(), {});
    for (size_t v = 0; v < mesh.positions.size(); ++v) {
        Vec3 ref = normalize(own[v]), sum{};
        Vec3 p = mesh.positions[v];
        auto found = facesAt.find({p.x, p.y, p.z});
        if (found == facesAt.end())
            continue;
        for (uint32_t f : found->second)
            if (dot(normalize(face[f]), ref) >= limit - 1e-5f)
                sum = sum + face[f];
        mesh.normals[v] = length(sum) > 0 ? normalize(sum) : ref;
    }
}

void flatNormals(Mesh& mesh) {
    Mesh flat;
    for (size_t f = 0; f < mesh.triangles.size(); ++f) {
        const Triangle& t = mesh.triangles[f];
        Vec3 n = normalize(faceNormal(mesh, t));
        Triangle nt;
        for (int k = 0; k < 3; ++k) {
            flat.positions.push_back(mesh.positions[t[k]]);
            flat.normals.push_back(n);
            if (!mesh.uv0.empty())
                flat.uv0.push_back(mesh.uv0[t[k]]);
            if (!mesh.uv1.empty())
                flat.uv1.push_back(mesh.uv1[t[k]]);
            nt[k] = static_cast<uint32_t>(flat.positions.size() - 1);
        }
        flat.triangles.push_back(nt);
    }
    flat.faceMaterials = mesh.faceMaterials;
    mesh = std::move(flat);
}

void dice(Mesh& mesh, float cell) {
    if (mesh.positions.empty())
        return;
    for (int axis = 0; axis < 3; ++axis) {
        float lo = axisOf(mesh.positions[0], axis), hi = lo;
        for (Vec3 p : mesh.positions) {
            lo = std::min(lo, axisOf(p, axis));
            hi = std::max(hi, axisOf(p, axis));
        }
        for (float k = std::ceil(lo / cell); k * cell < hi; ++k)
            splitByPlane(mesh, axis, k * cell);
    }
}

void tiltNormals(Mesh& mesh, Vec3 toward) {
    Vec3 unit = normalize(toward);
    for (Vec3& n : mesh.normals)
        if (dot(n, unit) > -0.5f)
            n = normalize(n + toward);
}

std::vector<Triangle> triangulate(const std::vector<Vec2>& polygon) {
    std::vector<uint32_t> left;
    for (uint32_t i = 0; i < polygon.size(); ++i)
        left.push_back(i);
    auto cross2 = [](Vec2 a, Vec2 b, Vec2 c) {
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    };
    std::vector<Triangle> out;
    while (left.size() > 3) {
        bool clipped = false;
        for (size_t i = 0; i < left.size() && !clipped; ++i) {
            uint32_t a = left[(i + left.size() - 1) % left.size()], b = left[i],
                     c = left[(i + 1) % left.size()];
            if (cross2(polygon[a], polygon[b], polygon[c]) <= 0)
                continue; // reflex or flat corner
            bool inside = false;
            for (uint32_t o : left) {
                if (o == a || o == b || o == c)
                    continue;
                Vec2 p = polygon[o];
                if (cross2(polygon[a], polygon[b], p) >= 0 &&
                    cross2(polygon[b], polygon[c], p) >= 0 &&
                    cross2(polygon[c], polygon[a], p) >= 0) {
                    inside = true;
                    break;
                }
            }
            if (inside)
                continue;
            out.push_back({a, b, c});
            left.erase(left.begin() + static_cast<long>(i));
            clipped = true;
        }
        if (!clipped)
            throw std::runtime_error("triangulate: not a simple counter-clockwise polygon");
    }
    out.push_back({left[0], left[1], left[2]});
    return out;
}

size_t triangleCount(const Frame& frame) {
    size_t n = frame.mesh ? frame.mesh->triangles.size() : 0;
    for (const Frame& c : frame.children)
        n += triangleCount(c);
    return n;
}

} // namespace models
