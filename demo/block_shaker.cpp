#include "demo/block_shaker.h"

#include "demo/random.h"

BlockShaker blockShaker;

namespace {

bool hasShakerName(const velmo::INode* node) {
    return node->name == BlockShaker::nodeName;
}

} // namespace

void BlockShaker::collect(velmo::INode* node) {
    node->rewindChildren();
    while (velmo::INode* child = node->nextChild()) {
        if (hasShakerName(child))
            nodes.push_back(child);
        collect(child);
    }
}

void BlockShaker::kick() {
    // A shaker that serves no node has nothing to turn (and must not divide by zero).
    if (nodes.empty())
        return;
    auto wobble = std::make_unique<Wobble>();
    wobble->node = nodes[static_cast<size_t>(demoRand()) % nodes.size()];
    wobble->rateX = demoRandomDraw() * 0.156f;
    wobble->rateY = demoRandomDraw() * 0.156f;
    wobble->rateZ = demoRandomDraw() * 0.156f;
    wobble->framesLeft = 10;
    wobbles.push_back(std::move(wobble));
}

void BlockShaker::step() {
    for (auto it = wobbles.begin(); it != wobbles.end();) {
        Wobble* wobble = it->get();
        // A finished wobble leaves the list now but still turns its node in this step.
        std::unique_ptr<Wobble> finished;
        if (wobble->framesLeft <= 0) {
            finished = std::move(*it);
            it = wobbles.erase(it);
        } else {
            ++it;
        }
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        velmo::Matrix turn =
            velmo::multiplyMatrix(velmo::rotationX(wobble->rateX), velmo::rotationY(wobble->rateY));
        velmo::multiplyMatrix(turn, turn, velmo::rotationZ(wobble->rateZ));
        velmo::multiplyMatrix(wobble->node->transform, turn, wobble->node->transform);
        --wobble->framesLeft;
    }
}

void BlockShaker::findLowest() {
    lowestHeight = noHeight;
    if (root == nullptr)
        return;
    root->rewindChildren();
    velmo::INode* first = root->nextChild();
    if (first == nullptr)
        return;
    scanLowest(first, first->transform);
}

void BlockShaker::scanLowest(velmo::INode* node, velmo::Matrix m) {
    if (m._42 < lowestHeight)
        lowestHeight = m._42;
    node->rewindChildren();
    while (velmo::INode* child = node->nextChild()) {
        if (hasShakerName(child))
            scanLowest(child, velmo::multiplyMatrix(child->transform, m));
        else
            scanLowest(child, m);
    }
}
