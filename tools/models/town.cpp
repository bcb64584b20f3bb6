// town.x: the town of the intro, in world coordinates (the root matrix undoes the scene's
// placement of the model). Opaque parts first: ground, streets, pavements, three kinds of
// facade, flat roofs, tiled roofs, lamp posts; then the alpha-blended cut-outs "Plane01" ...
// "Plane06" (trees, conifers, park fences, shop signs, a billboard, strings of flags over the
// main street), which the scene draws blended and so must come last. town.h has the layout.
//
// The intro's only lights hang high above the logo, beyond the town as the camera sees it, so
// the normals of walls are tilted upward: the fronts the camera looks at catch some of that
// light instead of showing nothing but the ambient term.
#include "generators.h"
#include "geometry.h"
#include "town.h"

#include <cmath>
#include <cstdio>

namespace models {

namespace {

using namespace town;

// Facade textures: one window every 4 units across and every 3.5 up, 4 x 4 windows a tile.
constexpr float kFacadeTileWidth = 16, kFacadeTileHeight = 14;

// A vertical wall from p to q (seen from the side where q - p runs left to right), y0 to y1,
// textured as facade.
Mesh wall(Vec3 p, Vec3 q, float y0, float y1, float uStart) {
    float width = length(q - p);
    Vec3 up{0, 1, 0};
    return quad(p + up * y0, q + up * y0, q + up * y1, p + up * y1,
                {uStart / kFacadeTileWidth, 1 - y1 / kFacadeTileHeight},
                {(uStart + width) / kFacadeTileWidth, 1 - y0 / kFacadeTileHeight});
}

// The four corners of a footprint, counter-clockwise seen from above.
std::array<Vec3, 4> corners(const Building& h) {
    return {at(h.a0, h.b0), at(h.a0, h.b1), at(h.a1, h.b1), at(h.a1, h.b0)};
}

// A flat quad on the ground (or a little above), grid-aligned, texture tiled every `tile`.
Mesh groundQuad(float a0, float b0, float a1, float b1, float y, float tile) {
    return quad(at(a0, b0, y), at(a0, b1, y), at(a1, b1, y), at(a1, b0, y), {a0 / tile, b0 / tile},
                {a1 / tile, b1 / tile});
}

// A vertical cut-out card standing at foot, facing `facing`, width x height.
Mesh card(Vec3 foot, Vec3 facing, float width, float height, float y0 = 0, Vec2 uvLo = {0, 0},
          Vec2 uvHi = {1, 1}) {
    Vec3 side = normalize(cross(Vec3{0, 1, 0}, facing)) * (width / 2);
    Vec3 lo = foot + Vec3{0, y0, 0}, hi = lo + Vec3{0, height, 0};
    // Seen from the front, lo - side is on the right (the program's view is left-handed):
    // the picture's left edge goes to lo + side.
    return quad(lo - side, lo + side, hi + side, hi - side, {uvHi.x, uvLo.y}, {uvLo.x, uvHi.y});
}

// A tree: two crossed cards, seen from both sides (four faces).
Mesh crossedCards(Vec3 foot, float width, float height, float turn) {
    Mesh m;
    for (int k = 0; k < 2; ++k) {
        float a = turn + static_cast<float>(k) * kPi / 2;
        Vec3 facing{std::cos(a), 0, std::sin(a)};
        merge(m, card(foot, facing, width, height));
        merge(m, card(foot, -facing, width, height));
    }
    return m;
}

struct Parts {
    Mesh facades[3], roofs, tiles, trees, conifers, fences, signs, billboard, flags;
};

void addBuilding(Parts& parts, const Building& h) {
    auto c = corners(h);
    Mesh& facade = parts.facades[h.facade];
    float u = 0;
    for (int k = 0; k < 4; ++k) {
        Vec3 p = c[k], q = c[(k + 1) % 4]; // this order faces the wall outward
        merge(facade, wall(p, q, 0, h.height, u));
        u += length(q - p);
    }
    if (!h.pitched) {
        merge(parts.roofs, groundQuad(h.a0, h.b0, h.a1, h.b1, h.height, 8));
        // A parapet-free roof with a plant room on the larger blocks.
        if ((h.a1 - h.a0) * (h.b1 - h.b0) > 150) {
            float ma = (h.a0 + h.a1) / 2, mb = (h.b0 + h.b1) / 2;
            Mesh room = box({-2, 0, -2.5f}, {2, 2.2f, 2.5f});
            transform(room, Mat4::rotationY(kGridAngle) *
                                Mat4::translation(at(ma, mb).x, h.height, at(ma, mb).z));
            merge(parts.roofs, room);
        }
        return;
    }
    // A gable roof, ridge along b, overhanging by 0.5; the gable ends are facade.
    float ridge = h.height + 0.45f * (h.a1 - h.a0);
    float ma = (h.a0 + h.a1) / 2;
    for (float s : {1.0f, -1.0f}) {
        float ea = s > 0 ? h.a1 + 0.5f : h.a0 - 0.5f;
        Vec3 e0 = at(ea, h.b0 - 0.5f, h.height - 0.2f), e1 = at(ea, h.b1 + 0.5f, h.height - 0.2f);
        Vec3 r0 = at(ma, h.b0 - 0.5f, ridge), r1 = at(ma, h.b1 + 0.5f, ridge);
        float slope = length(r0 - e0);
        Mesh roof = s > 0 ? quad(e1, e0, r0, r1, {0, 0}, {(h.b1 - h.b0 + 1) / 3, slope / 3})
                          : quad(e0, e1, r1, r0, {0, 0}, {(h.b1 - h.b0 + 1) / 3, slope / 3});
        merge(parts.tiles, roof);
    }
    for (float b : {h.b0, h.b1}) {
        Vec3 l = at(h.a0, b, h.height), r = at(h.a1, b, h.height), top = at(ma, b, ridge);
        if (b == h.b0)
            std::swap(l, r);
        Mesh gable;
        Vec3 n = normalize(cross(r - l, top - l));
        gable.positions = {l, r, top};
        gable.normals = {n, n, n};
        float v = 1 - h.height / kFacadeTileHeight;
        gable.uv0 = {
            {0, v},
            {(h.a1 - h.a0) / kFacadeTileWidth, v},
            {(h.a1 - h.a0) / 2 / kFacadeTileWidth, v - (ridge - h.height) / kFacadeTileHeight}};
        gable.triangles = {{0, 1, 2}};
        merge(parts.facades[h.facade], gable);
    }
}

// Lit by the scene's faraway lights: bright diffuse colour, a little highlight.
Material surface(Color diffuse, const char* texture) {
    return material(diffuse, texture, {0.2f, 0.2f, 0.2f});
}

// Normals tilted toward the lights above (see the file comment).
void tiltUp(Mesh& mesh) {
    tiltNormals(mesh, {0, 2, 0});
}

} // namespace

Frame makeTown() {
    const Layout town = layout();
    Parts parts;
    for (const Building& h : town.buildings)
        addBuilding(parts, h);

    // Ground, streets, pavements and the park's lawn.
    Mesh ground = groundQuad(-kExtent - 10, -kExtent - 10, kExtent + 10, kExtent + 10, 0, 12);
    Mesh streets, pavements;
    for (int k = -4; k <= 3; ++k) {
        float c = kPitch * static_cast<float>(k);
        // Avenues over cross streets, so their markings run through the crossings.
        if (k > -4) {
            Mesh avenue = groundQuad(c - kStreet / 2, -kExtent, c + kStreet / 2, kExtent, 0.08f, 8);
            for (Vec2& uv : avenue.uv0)
                uv.x = (uv.x * 8 - (c - kStreet / 2)) / kStreet; // one street width across
            merge(streets, avenue);
        }
        float d = c + kPitch / 2;
        Mesh cross = quad(at(-kExtent, d - kStreet / 2, 0.05f),
                          at(-kExtent, d + kStreet / 2, 0.05f), at(kExtent, d + kStreet / 2, 0.05f),
                          at(kExtent, d - kStreet / 2, 0.05f), {0, 0}, {1, 1});
        // The texture's markings run along the cross street.
        cross.uv0 = {{0, -kExtent / 8}, {1, -kExtent / 8}, {1, kExtent / 8}, {0, kExtent / 8}};
        merge(streets, cross);
    }
    Mesh lawn;
    for (int j = -3; j <= 3; ++j)
        for (int i = -4; i <= 3; ++i) {
            float a0 = kPitch * static_cast<float>(i) + kStreet / 2;
            float b0 = kPitch * static_cast<float>(j) - kBlock / 2;
            Mesh& into = town.isPark(i, j) ? lawn : pavements;
            merge(into, groundQuad(a0, b0, a0 + kBlock, b0 + kBlock, 0.03f, 6));
        }

    // Lamp posts: a pole and an arm reaching over the street.
    Mesh posts;
    for (const Lamp& lamp : town.lamps) {
        Vec3 foot{lamp.head.x, 0, lamp.head.z};
        merge(posts,
              box(foot + Vec3{-0.1f, 0, -0.1f}, foot + Vec3{0.1f, lamp.head.y + 0.2f, 0.1f}));
        merge(posts,
              box(lamp.head + Vec3{-0.35f, 0.1f, -0.35f}, lamp.head + Vec3{0.35f, 0.35f, 0.35f}));
    }

    // Cut-outs.
    float turn = 0.3f;
    for (Vec3 foot : town.trees) {
        merge(parts.trees, crossedCards(foot, 5.5f, 7.5f, turn));
        turn += 1.1f;
    }
    for (Vec3 foot : town.conifers) {
        merge(parts.conifers, crossedCards(foot, 4.2f, 10, turn));
        turn += 0.7f;
    }
    // Iron railings round the park, 1.3 high, the texture repeating every 2 units.
    {
        float a0 = -kPitch + kStreet / 2, a1 = a0 + kBlock;
        for (int j = -3; j <= -1; ++j) {
            float b0 = kPitch * static_cast<float>(j) - kBlock / 2, b1 = b0 + kBlock;
            Vec3 c[4] = {at(a0, b0), at(a0, b1), at(a1, b1), at(a1, b0)};
            for (int k = 0; k < 4; ++k) {
                Vec3 p = c[k], q = c[(k + 1) % 4];
                float len = length(q - p);
                for (int s = 0; s < 2; ++s) { // both faces
                    Vec3 from = s ? q : p, to = s ? p : q;
                    merge(parts.fences, quad(from, to, to + Vec3{0, 1.3f, 0},
                                             from + Vec3{0, 1.3f, 0}, {0, 0}, {len / 2, 1}));
                }
            }
        }
    }
    // Shop signs: each kind is a quarter of the sign sheet (2 x 2 pictures).
    for (const Sign& s : town.signs) {
        Vec2 lo{0.5f * static_cast<float>(s.kind % 2), 0.5f * static_cast<float>(s.kind / 2)};
        merge(parts.signs, card(s.centre + s.facing * 0.05f - Vec3{0, s.height / 2, 0}, s.facing,
                                s.width, s.height, 0, lo, lo + Vec2{0.5f, 0.5f}));
    }
    // The billboard on the far skyline, facing down the main street.
    merge(parts.billboard, card(at(14, 62, 0), -along(), 18, 6, 24));
    merge(parts.billboard, card(at(14, 62, 0), along(), 18, 6, 24));
    // Strings of flags across the main street.
    for (float b : {-70.0f, -40.0f, -10.0f, 40.0f}) {
        Vec3 l = at(-5, b, 5.5f), r = at(5, b, 5.5f);
        merge(parts.flags,
              quad(l + Vec3{0, -1.2f, 0}, r + Vec3{0, -1.2f, 0}, r, l, {0, 0}, {2.5f, 1}));
        merge(parts.flags,
              quad(r + Vec3{0, -1.2f, 0}, l + Vec3{0, -1.2f, 0}, l, r, {0, 0}, {2.5f, 1}));
    }

    for (Mesh* m : {&parts.facades[0], &parts.facades[1], &parts.facades[2], &parts.tiles,
                    &parts.roofs, &posts})
        tiltUp(*m);

    // The scene scales the root by 2, turns it by -0.95 about y and 1.2707963 about x (the
    // engine's rotations, the other way round to Mat4's): undo all of it, so file
    // coordinates are world coordinates.
    Frame root = group("Root", Mat4::axisCancel() * Mat4::rotationX(1.2707963f) *
                                   Mat4::rotationY(-0.95f) * Mat4::scaling(0.5f));
    const Color lit{11, 11, 11};
    root.children.push_back(part("Ground", std::move(ground), surface(lit, "town_grass.jpg")));
    root.children.push_back(part("Streets", std::move(streets), surface(lit, "town_street.jpg")));
    root.children.push_back(
        part("Pavements", std::move(pavements), surface(lit, "town_pavement.jpg")));
    root.children.push_back(part("Lawn", std::move(lawn), surface(lit, "town_lawn.jpg")));
    const char* facadeTextures[3] = {"town_brick.jpg", "town_office.jpg", "town_plaster.jpg"};
    const char* facadeNames[3] = {"FacadesBrick", "FacadesOffice", "FacadesPlaster"};
    for (int k = 0; k < 3; ++k)
        root.children.push_back(
            part(facadeNames[k], std::move(parts.facades[k]), surface(lit, facadeTextures[k])));
    root.children.push_back(part("Roofs", std::move(parts.roofs), surface(lit, "town_roof.jpg")));
    root.children.push_back(
        part("RoofTiles", std::move(parts.tiles), surface(lit, "town_tiles.jpg")));
    root.children.push_back(part("LampPosts", std::move(posts), surface({3, 3, 3.3f}, "")));

    // Cut-outs last; the scene makes them full-bright and alpha blended.
    const std::pair<Mesh*, const char*> planes[] = {
        {&parts.trees, "town_tree.png"},          {&parts.conifers, "town_conifer.png"},
        {&parts.fences, "town_fence.png"},        {&parts.signs, "town_signs.png"},
        {&parts.billboard, "town_billboard.png"}, {&parts.flags, "town_flags.png"}};
    int index = 1;
    for (const auto& [mesh, texture] : planes) {
        char name[16];
        std::snprintf(name, sizeof name, "Plane%02d", index++);
        root.children.push_back(part(name, std::move(*mesh), surface({1, 1, 1}, texture)));
    }
    return root;
}

} // namespace models
