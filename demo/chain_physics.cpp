#include "demo/chain_physics.h"

#include <algorithm>
#include <cmath>

#include "demo/random.h"
#include "engine/math/matrix.h"

std::vector<ChainPoint> chainPoints;
std::vector<ChainLink> chainLinks;
velmo::Vec3 finaleCameraPosition(0.0f, 0.0f, 0.0f);
velmo::INode* chainAnchor = nullptr;
velmo::INode* chainModel = nullptr;

namespace {

constexpr float boxHalfSize = 100.0f;

// Verlet move, the outward acceleration and the push away from the camera; then the box
// clamp, which also holds fixed points.
void movePoints() {
    for (ChainPoint& point : chainPoints) {
        const velmo::Vec3 old = point.position;
        if (!point.fixed) {
            point.position =
                point.position + (point.position - point.previous) + point.acceleration;
            const velmo::Vec3 away = point.position - finaleCameraPosition;
            const float distanceSq = velmo::vecLengthSq(away);
            // A point right on the camera has no direction to be pushed in; dividing by its zero
            // distance would turn its position, and every later step of its chain, into NaN.
            if (distanceSq > 0.0f)
                point.position = point.position + (10.0f * velmo::normalized(away)) / distanceSq;
        }
        point.position.x = std::clamp(point.position.x, -boxHalfSize, boxHalfSize);
        point.position.y = std::clamp(point.position.y, -boxHalfSize, boxHalfSize);
        point.position.z = std::clamp(point.position.z, -boxHalfSize, boxHalfSize);
        point.previous = old;
    }
}

// One pass of length constraints; each link sees the corrections of the links before it. The
// correction grows with the square of the error and never exceeds half of it.
void correctLinks() {
    for (const ChainLink& link : chainLinks) {
        ChainPoint& first = chainPoints[link.first];
        ChainPoint& second = chainPoints[link.second];
        const velmo::Vec3 pi = first.position;
        const velmo::Vec3 pj = second.position;
        const float error = static_cast<float>(static_cast<double>(link.restLength) -
                                               static_cast<double>(velmo::vecLength(pj - pi)));
        float correction = 0.03f * error * std::fabs(error);
        if (std::fabs(correction) > 0.5f * std::fabs(error))
            correction = 0.5f * error;
        if (!first.fixed)
            first.position += correction * velmo::normalized(pi - pj);
        if (!second.fixed)
            second.position += correction * velmo::normalized(pj - pi);
    }
}

// Places each link's model: its y axis along the link from the first point to the second, its
// origin at the midpoint, turned about the link by a reference vector that alternates between
// neighbouring links.
void placeLinkNodes() {
    for (size_t k = 0; k < chainLinks.size(); ++k) {
        const ChainLink& link = chainLinks[k];
        const velmo::Vec3 pi = chainPoints[link.first].position;
        const velmo::Vec3 pj = chainPoints[link.second].position;
        velmo::Vec3 a = pj - pi;
        const velmo::Vec3 reference =
            (k % 2 == 1) ? velmo::Vec3(1.0f, 0.0f, 0.0f) : velmo::Vec3(0.0f, 0.0f, -1.0f);
        velmo::Vec3 b = velmo::cross(a, reference);
        velmo::Vec3 w = velmo::cross(a, b);
        velmo::normalize(b);
        velmo::normalize(a);
        velmo::normalize(w);
        const velmo::Matrix rotation(b.x, b.y, b.z, 0.0f, a.x, a.y, a.z, 0.0f, w.x, w.y, w.z, 0.0f,
                                     0.0f, 0.0f, 0.0f, 1.0f);
        const velmo::Vec3 middle = (pi + pj) * 0.5f;
        velmo::multiplyMatrix(link.node->transform, rotation,
                              velmo::makeTranslation(middle.x, middle.y, middle.z));
    }
}

} // namespace

void buildChain(velmo::Vec3 start, velmo::INode* anchor, velmo::INode* model, velmo::Vec3 step) {
    const auto base = static_cast<int32_t>(chainPoints.size());
    const velmo::Vec3 acceleration = 0.01f * velmo::normalized(step);
    for (int j = 0; j < pointsPerChain; ++j) {
        ChainPoint point;
        point.position = static_cast<float>(j) * step + start;
        point.fixed = false;
        point.acceleration = acceleration;
        point.previous = point.position;
        chainPoints.push_back(point);
    }
    for (int j = 1; j < pointsPerChain; ++j) {
        auto* node = new velmo::DummyNode();
        // A missing model leaves the link empty: a null child would end the walks early.
        if (model)
            node->addChild(model);
        anchor->addChild(node);
        chainLinks.push_back(ChainLink{2.5f, base + j - 1, base + j, node});
    }
    chainPoints[base].fixed = true;
}

void buildChains() {
    for (int k = 0; k < chainCount; ++k) {
        const float r1 = demoRandomDraw();
        const float r2 = demoRandomDraw();
        const float r3 = demoRandomDraw();
        const velmo::Vec3 direction = velmo::normalized(velmo::Vec3(r1, r2, r3));
        buildChain(10.0f * direction, chainAnchor, chainModel, 5.0f * direction);
    }
}

void stepChains() {
    movePoints();
    correctLinks();
    placeLinkNodes();
}
