#include "town.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace models::town {

namespace {

// A small fixed-seed generator, so the town is the same on every run and platform.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed) {}
    float next() { // [0, 1)
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
    float range(float lo, float hi) { return lo + (hi - lo) * next(); }

private:
    uint32_t state;
};

constexpr float kFloor = 3.5f;

// Block (i, j) spans a in [30 i + 4, 30 i + 26] and b in [30 j - 11, 30 j + 11].
float blockA(int i) {
    return kPitch * static_cast<float>(i) + kStreet / 2;
}
float blockB(int j) {
    return kPitch * static_cast<float>(j) - kBlock / 2;
}

// Height of a building on block (i, j): the skyline rises toward the far end of the main
// street; the two rows of blocks under the airship and its banner stay below it.
float buildingHeight(Random& random, int i, int j) {
    float far = std::clamp((static_cast<float>(j) + 3) / 6, 0.0f, 1.0f);
    float side = std::abs(static_cast<float>(i) + 0.5f) / 3.5f;
    float h = (12 + 30 * far - 8 * side) * random.range(0.6f, 1.3f);
    if (j == 0 || j == 1)
        h = std::min(h, 21.0f);
    if (i == -1 && j == 0)
        h = std::min(h, 14.0f);
    // Right of the main street, between the camera's last position and the banner, low
    // houses keep the year in view.
    if (i == 0 && (j == -2 || j == -1))
        h = std::min(h, 10.5f);
    return std::max(kFloor * 2, std::round(h / kFloor) * kFloor);
}

Layout build() {
    Layout town;
    Random random(20080815u);
    for (int j = -3; j <= 3; ++j)
        for (int i = -4; i <= 3; ++i) {
            float a0 = blockA(i), b0 = blockB(j);
            float ca = a0 + kBlock / 2, cb = b0 + kBlock / 2;
            // Only blocks round the middle of the sky dome.
            if (std::hypot(ca - 5, cb + 19) > 100)
                continue;
            if (town.isPark(i, j))
                continue;
            if (i == 0 && j == -3) {
                // A square beside the camera's last position keeps the view down the main
                // street open: a tree at each corner.
                for (float da : {3.0f, 19.0f})
                    for (float db : {3.0f, 19.0f})
                        town.trees.push_back(at(a0 + da, b0 + db));
                continue;
            }
            float split = random.next();
            std::vector<std::array<float, 4>> lots;
            if (split < 0.2f) {
                lots.push_back({a0, b0, a0 + kBlock, b0 + kBlock});
            } else if (split < 0.55f) {
                lots.push_back({a0, b0, a0 + kBlock, b0 + 10});
                lots.push_back({a0, b0 + 12, a0 + kBlock, b0 + kBlock});
            } else {
                for (float da : {0.0f, 12.0f})
                    for (float db : {0.0f, 12.0f})
                        lots.push_back({a0 + da, b0 + db, a0 + da + 10, b0 + db + 10});
            }
            for (const auto& lot : lots) {
                float h = buildingHeight(random, i, j);
                int facade = static_cast<int>(random.next() * 3);
                bool pitched = h <= 10.5f && random.next() < 0.6f;
                // Set back a little from the street, by a varying amount.
                float inset = random.range(0.3f, 1.5f);
                town.buildings.push_back({lot[0] + inset, lot[1] + inset, lot[2] - inset,
                                          lot[3] - inset, pitched ? 7.0f : h, facade, pitched});
            }
        }

    // Lamps along both sides of every avenue, and along the cross streets near the centre.
    for (int k = -3; k <= 3; ++k)
        for (float b = -100; b <= 100; b += 15) {
            float a = kPitch * static_cast<float>(k);
            for (float s : {-1.0f, 1.0f}) {
                Vec3 p = at(a + s * (kStreet / 2 + 0.6f), b + (s > 0 ? 7.5f : 0));
                if (std::hypot(a - 5, b + 19) < 95)
                    town.lamps.push_back({p + Vec3{0, 5.4f, 0}});
            }
        }

    // The park: trees along its edges and in groups on the lawn, clear of the camera's low
    // flight (a between -20 and -9 is kept open); conifers at its far corners.
    for (int j = -3; j <= -1; ++j) {
        float b0 = blockB(j);
        for (float b = b0 + 2; b < b0 + kBlock - 1; b += 5) {
            for (float a : {-24.0f, -6.5f}) {
                if (a > -10 && b < -74)
                    continue; // where the camera comes down to the street
                float jitter = random.range(-0.8f, 0.8f);
                if (random.next() < 0.8f)
                    town.trees.push_back(at(a + jitter, b + random.range(-1, 1)));
            }
        }
        town.conifers.push_back(at(-23, b0 + 1.5f));
        town.conifers.push_back(at(-23, b0 + kBlock - 1.5f));
    }
    // A few trees in front of the houses on the other streets.
    for (const Building& h : town.buildings)
        if (h.pitched && random.next() < 0.7f)
            town.trees.push_back(at(h.a0 - 1.8f, (h.b0 + h.b1) / 2 + random.range(-2, 2)));

    // Shop signs on the fronts that face the main street, and a billboard on the skyline.
    for (const Building& h : town.buildings) {
        bool leftOfMain = h.a1 > -4.5f && h.a1<0, rightOfMain = h.a0> 0 && h.a0 < 6;
        if (!leftOfMain && !rightOfMain)
            continue;
        float a = leftOfMain ? h.a1 + 0.12f : h.a0 - 0.12f;
        Vec3 facing = leftOfMain ? across() : -across();
        float b = (h.b0 + h.b1) / 2;
        float y = std::min(h.height - 1.5f, 4.6f);
        town.signs.push_back({at(a, b, y), facing, 5, 1.4f, static_cast<int>(random.next() * 4)});
    }
    return town;
}

} // namespace

Vec3 across() {
    return {std::cos(kGridAngle), 0, -std::sin(kGridAngle)};
}

Vec3 along() {
    return {std::sin(kGridAngle), 0, std::cos(kGridAngle)};
}

Vec3 at(float a, float b, float y) {
    return across() * a + along() * b + Vec3{0, y, 0};
}

bool Layout::isPark(int blockA, int blockB) const {
    return blockA == -1 && blockB <= -1;
}

Layout layout() {
    return build();
}

} // namespace models::town
