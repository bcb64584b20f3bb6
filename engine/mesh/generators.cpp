#include "engine/mesh/generators.h"

#include "engine/mesh/mesh.h"

namespace velmo::meshgen {

void Cube::generate(Mesh* mesh) {
    VertexList* vertices = nullptr;
    EdgeList* edges = nullptr;
    FaceList* faces = nullptr;
    mesh->editGeometry(&vertices, &edges, &faces);
    mesh->data->geometry->clear();

    const float x = halfSize.x, y = halfSize.y, z = halfSize.z;
    // Corners: the bottom (-y) ring, then the top (+y) ring above it.
    const float corners[8][3] = {{-x, -y, -z}, {-x, -y, z}, {x, -y, z}, {x, -y, -z},
                                 {-x, y, -z},  {-x, y, z},  {x, y, z},  {x, y, -z}};
    for (const auto& c : corners) {
        vertices->push_back(new Vertex(c[0], c[1], c[2]));
    }
    const int ends[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 5},
                             {2, 6}, {3, 7}, {7, 4}, {6, 7}, {5, 6}, {4, 5}};
    for (const auto& e : ends) {
        edges->push_back(new Edge{(*vertices)[e[0]], (*vertices)[e[1]], nullptr, nullptr});
    }
    // Sides -y, +y, -x, -z, +x, +z, each by its corner edges.
    const int sides[6][4] = {{3, 2, 1, 0}, {11, 10, 9, 8}, {0, 5, 11, 4},
                             {4, 8, 7, 3}, {7, 9, 6, 2},   {6, 10, 5, 1}};
    for (const auto& s : sides) {
        faces->push_back(
            new QuadFace((*edges)[s[0]], (*edges)[s[1]], (*edges)[s[2]], (*edges)[s[3]]));
    }
}

} // namespace velmo::meshgen
