// talo.x: the house at the centre of the block-and-house scene.
//
// The house is modelled upright (y up) and turned to the file's z-up layout that the scene
// expects: it squashes the file's z by 0.8 and lowers it by 15, so the tower, 21 units tall,
// reaches world height +1.8 and its spire +5.8, just over the orbiting camera's eye; the front
// (design -z) faces the world's -z. A round stone tower with chamfered edges ("ChamferCyl01",
// the part the scene flickers) rises through the middle of a gabled body 16 x 11; the blocks of
// the scene's arms leave its walls at design height 8.75.
#include "generators.h"
#include "geometry.h"

#include <cmath>

namespace models {

namespace {

// Design space (y up) to the file's z-up layout.
Mesh upright(Mesh mesh) {
    transform(mesh, Mat4::rotationX(kPi / 2));
    return mesh;
}

// The chamfered tower: radius 3.8, 21 tall, 0.6 chamfers; its texture repeats three times
// around and once from the foot to the top.
Mesh tower() {
    const float r = 3.8f, h = 21, c = 0.6f;
    Mesh m = lathe({{0, 0}, {r - c, 0}, {r, c}, {r, h - c}, {r - c, h}, {0, h}}, 28, 30);
    for (size_t i = 0; i < m.positions.size(); ++i)
        m.uv0[i] = {m.uv0[i].x * 3, 1 - m.positions[i].y / h};
    return m;
}

Mesh towerRoof() {
    Mesh m = lathe({{0, 20.7f}, {4.5f, 20.7f}, {0.3f, 25.3f}, {0.3f, 26.2f}, {0, 26.2f}}, 28, 40);
    for (Vec2& uv : m.uv0)
        uv.x *= 4;
    return m;
}

// The body's walls: four sides 10 high and the two gable ends up to the ridge; the texture (one
// window per tile) repeats every 4 units across and every 5 up.
Mesh walls() {
    const float x = 8, z = 5.5f, eaves = 10, ridge = 15, tile = 4, storey = 5;
    Mesh m;
    // Each side from its lower-left corner, running along `along`, facing outward.
    auto side = [&](Vec3 from, Vec3 along, float width) {
        Vec3 to = from + along * width, up{0, eaves, 0};
        merge(m, quad(from, to, to + up, from + up, {0, 0}, {width / tile, eaves / storey}));
    };
    side({x, 0, -z}, {-1, 0, 0}, 2 * x); // front
    side({x, 0, z}, {0, 0, -1}, 2 * z);  // right end
    side({-x, 0, z}, {1, 0, 0}, 2 * x);  // back
    side({-x, 0, -z}, {0, 0, 1}, 2 * z); // left end
    // Gables: triangles over the ends, the texture continuing from the wall below.
    for (float s : {1.0f, -1.0f}) {
        Vec3 n{s, 0, 0};
        uint32_t base = static_cast<uint32_t>(m.positions.size());
        m.positions.insert(m.positions.end(),
                           {{s * x, eaves, s * z}, {s * x, eaves, -s * z}, {s * x, ridge, 0}});
        m.normals.insert(m.normals.end(), {n, n, n});
        m.uv0.insert(m.uv0.end(),
                     {{0, 0}, {2 * z / tile, 0}, {z / tile, (eaves - ridge) / storey}});
        m.triangles.push_back({base, base + 1, base + 2});
    }
    return m;
}

// The gable roof: a slab 0.35 thick over the body with eaves and gable overhangs; tiles run
// along the ridge, one texture tile every 3 units.
Mesh roof() {
    const float ex = 8.7f, ez = 6.3f, eaves = 9.4f, ridge = 15, t = 0.4f;
    std::vector<Vec2> section = {{ez, eaves - t}, {ez, eaves},      {0, ridge},
                                 {-ez, eaves},    {-ez, eaves - t}, {0, ridge - t}};
    Mesh m = extrude(section, -ex, ex);
    // Extruded along z with the section in x-y: swap x and z (a mirror; transform keeps the
    // winding outward).
    Mat4 swapXZ;
    swapXZ.m = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    transform(m, swapXZ);
    for (size_t i = 0; i < m.positions.size(); ++i) {
        Vec3 p = m.positions[i];
        float slope = std::sqrt(p.z * p.z + (ridge - p.y) * (ridge - p.y));
        m.uv0[i] = {p.x / 3, slope / 3};
    }
    return m;
}

} // namespace

Frame makeTalo() {
    Frame root = group("Root", Mat4::axisCancel());
    // The scene doubles diffuse light; the tower's own colours are replaced by the scene.
    Material stone = material({1, 1, 1}, "talo_tower.jpg", {0.3f, 0.3f, 0.3f});
    Material plaster = material({2.2f, 2.1f, 2.0f}, "talo_walls.jpg", {0.1f, 0.1f, 0.1f});
    Material tiles = material({2.2f, 2.2f, 2.2f}, "talo_roof.jpg", {0.3f, 0.3f, 0.3f}, 12);
    Material copper = material({1.2f, 2.2f, 1.9f}, "talo_spire.jpg", {0.8f, 0.8f, 0.8f}, 24);
    Material brick = material({1.6f, 0.75f, 0.55f}, "", {0.1f, 0.1f, 0.1f});
    Material wood = material({0.9f, 0.55f, 0.3f}, "", {0.1f, 0.1f, 0.1f});

    root.children.push_back(part("ChamferCyl01", upright(tower()), stone));
    root.children.push_back(part("TowerRoof", upright(towerRoof()), copper));
    root.children.push_back(part("Walls", upright(walls()), plaster));
    root.children.push_back(part("Roof", upright(roof()), tiles));
    Mesh chimney = box({5.2f, 11, 1.4f}, {6.4f, 16.5f, 2.6f});
    root.children.push_back(part("Chimney", upright(chimney), brick));
    Mesh door = box({-6.2f, 0, -5.65f}, {-4.4f, 3.4f, -5.5f});
    merge(door, box({-6.4f, 3.4f, -5.75f}, {-4.2f, 3.7f, -5.5f})); // lintel
    root.children.push_back(part("Door", upright(door), wood));
    return root;
}

} // namespace models
