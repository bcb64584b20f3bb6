#include "xfile.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace models {

namespace {

class XWriter {
public:
    explicit XWriter(bool negateNormals) : negate_(negateNormals) {}

    void frame(const Frame& f, int depth) {
        line(depth, "Frame " + name(f.name) + " {");
        line(depth + 1, "FrameTransformMatrix {");
        std::string m;
        for (int i = 0; i < 16; ++i)
            m += number(f.matrix.m[i]) + (i == 15 ? ";;" : ",");
        line(depth + 2, m);
        line(depth + 1, "}");
        if (f.mesh)
            mesh(*f.mesh, f.materials, depth + 1);
        for (const Frame& c : f.children)
            frame(c, depth + 1);
        line(depth, "}");
    }

    std::string text() const { return out_; }

private:
    static std::string name(const std::string& n) {
        if (n.empty())
            throw std::runtime_error("frames need names");
        return n;
    }

    static std::string number(float v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
        return buf;
    }

    void line(int depth, const std::string& s) {
        out_.append(static_cast<size_t>(depth), ' ');
        out_ += s;
        out_ += '\n';
    }

    // count; then one item per line, items separated by "," and the list closed by ";".
    template <class F> void list(int depth, size_t count, F item) {
        line(depth, std::to_string(count) + ";");
        for (size_t i = 0; i < count; ++i)
            line(depth, item(i) + (i + 1 == count ? ";" : ","));
    }

    static std::string vec3(Vec3 v) {
        return number(v.x) + ";" + number(v.y) + ";" + number(v.z) + ";";
    }

    void faces(const Mesh& m, int depth) {
        list(depth, m.triangles.size(), [&](size_t i) {
            const Triangle& t = m.triangles[i];
            return "3;" + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," +
                   std::to_string(t[2]) + ";";
        });
    }

    void mesh(const Mesh& m, const std::vector<Material>& materials, int depth) {
        if (materials.empty())
            throw std::runtime_error("a mesh needs a material");
        line(depth, "Mesh {");
        list(depth + 1, m.positions.size(), [&](size_t i) { return vec3(m.positions[i]); });
        faces(m, depth + 1);
        if (!m.normals.empty()) {
            line(depth + 1, "MeshNormals {");
            list(depth + 2, m.normals.size(),
                 [&](size_t i) { return vec3(negate_ ? -m.normals[i] : m.normals[i]); });
            faces(m, depth + 2);
            line(depth + 1, "}");
        }
        for (const auto* set : {&m.uv0, &m.uv1}) {
            if (set->empty())
                continue;
            line(depth + 1, "MeshTextureCoords {");
            list(depth + 2, set->size(), [&](size_t i) {
                return number((*set)[i].x) + ";" + number(1 - (*set)[i].y) + ";";
            });
            line(depth + 1, "}");
        }
        line(depth + 1, "MeshMaterialList {");
        line(depth + 2, std::to_string(materials.size()) + ";");
        list(depth + 2, m.triangles.size(), [&](size_t i) {
            return std::to_string(m.faceMaterials.empty() ? 0 : m.faceMaterials[i]);
        });
        for (const Material& mat : materials) {
            line(depth + 2, "Material {");
            line(depth + 3, number(mat.diffuse.r) + ";" + number(mat.diffuse.g) + ";" +
                                number(mat.diffuse.b) + ";" + number(mat.diffuse.a) + ";;");
            line(depth + 3, number(mat.power) + ";");
            line(depth + 3, number(mat.specular.r) + ";" + number(mat.specular.g) + ";" +
                                number(mat.specular.b) + ";;");
            line(depth + 3, number(mat.emissive.r) + ";" + number(mat.emissive.g) + ";" +
                                number(mat.emissive.b) + ";;");
            if (!mat.texture.empty()) {
                line(depth + 3, "TextureFilename {");
                line(depth + 4, "\"" + mat.texture + "\";");
                line(depth + 3, "}");
            }
            line(depth + 2, "}");
        }
        line(depth + 1, "}");
        line(depth, "}");
    }

    bool negate_;
    std::string out_;
};

} // namespace

std::string xFileText(const Frame& root, bool negateNormals) {
    XWriter w(negateNormals);
    w.frame(root, 0);
    return "xof 0303txt 0032\n" + w.text();
}

void writeXFile(const Frame& root, bool negateNormals, const std::string& path) {
    std::string text = xFileText(root, negateNormals);
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace models
