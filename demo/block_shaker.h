// Makes the chained blocks of the block-and-house scene wobble: a kick picks one of the
// collected nodes at random and turns it by a small random rotation on each of the next
// eleven steps; the accumulated turn stays. After each step the scene asks for the lowest
// height among those nodes to keep the chain resting on its ground level.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "engine/math/matrix.h"
#include "engine/scene/node.h"

// One running wobble: the node it turns and its turn per step about each axis, in radians.
struct Wobble {
    velmo::INode* node = nullptr;
    float rateX = 0.0f;
    float rateY = 0.0f;
    float rateZ = 0.0f;
    // Steps still to come after the next one; a wobble is applied while it goes 10 down to 0.
    int32_t framesLeft = 10;
};

class BlockShaker {
public:
    // The name of the nodes the shaker serves, compared exactly and case-sensitively.
    static constexpr const char* nodeName = "kilinvittu";
    static constexpr float noHeight = 11000.0f;

    // Appends every descendant of node named nodeName to nodes, in pre-order (a node before
    // its descendants, siblings in child order). node itself is not tested. A subtree reached
    // along two paths is visited once per path; a second call appends everything again.
    void collect(velmo::INode* node);
    // Starts a wobble on nodes[demoRand() mod nodes.size()] with three rates, in the order X,
    // Y, Z, each a random draw times 0.156. With no collected node it does nothing and draws
    // nothing.
    void kick();
    // Applies every wobble once, in list order: node local = rotX * rotY * rotZ * local, a turn
    // in the node's own frame. A wobble whose count has reached 0 is applied one last time and
    // then removed.
    void step();
    // lowestHeight = the minimum of noHeight and the translation y of the accumulated matrix
    // at every node below root's first child, that child included (see scanLowest). With no
    // root, or a root without children, nothing is scanned and lowestHeight is noHeight.
    void findLowest();
    // Lowers lowestHeight to the translation y of m when that is smaller, then scans each child
    // c of node with c's local * m when c is named nodeName, else with m unchanged.
    void scanLowest(velmo::INode* node, velmo::Matrix m);

    // The result of the last findLowest; 0 before the first.
    float lowestHeight = 0.0f;
    // The node whose subtree the shaker serves; set once by the scene's builder.
    velmo::INode* root = nullptr;
    // The active wobbles, oldest first.
    std::list<std::unique_ptr<Wobble>> wobbles;
    // The collected nodes, in collection order; never cleared. The shaker owns no node.
    std::vector<velmo::INode*> nodes;
};

// The demo's one shaker, living for the whole process.
extern BlockShaker blockShaker;
