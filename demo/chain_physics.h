// The finale's hanging chains: points and links stepped with position Verlet integration, a
// constant outward acceleration, an inverse-square push away from the finale's camera, a box
// clamp and one pass of length constraints; each link places one copy of the chain-link model
// between its two ends.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/math/vector.h"
#include "engine/scene/node.h"

// One rope point, in the anchor node's frame.
struct ChainPoint {
    velmo::Vec3 position;
    // A fixed point is moved only by the box clamp in a step; the finale drives it.
    bool fixed = false;
    // Added to the point's displacement on every step.
    velmo::Vec3 acceleration;
    // The position before the last step.
    velmo::Vec3 previous;
};

// One link between two points of chainPoints, shown by node.
struct ChainLink {
    float restLength = 2.5f;
    int32_t first = 0;
    int32_t second = 0;
    // Its local transform is written by every step; it belongs to the anchor's child list.
    velmo::DummyNode* node = nullptr;
};

// All points and links of all chains, chain after chain.
extern std::vector<ChainPoint> chainPoints;
extern std::vector<ChainLink> chainLinks;
// The point the chains are pushed away from: the finale's camera position of the last frame.
extern velmo::Vec3 finaleCameraPosition;
// The node the chains hang under, and the link model placed under every link node; both are
// set by the finale's builder before buildChains.
extern velmo::INode* chainAnchor;
extern velmo::INode* chainModel;

constexpr int chainCount = 20;
constexpr int pointsPerChain = 20;

// Appends one chain of 20 points start + j * step, each accelerated by 0.01 along step, its
// first point fixed, and 19 links of rest length 2.5. Each link gets a new unnamed DummyNode
// with model as its child, added under anchor.
void buildChain(velmo::Vec3 start, velmo::INode* anchor, velmo::INode* model, velmo::Vec3 step);
// Appends twenty chains under chainAnchor with chainModel, each running straight out along a
// direction of three random draws, from distance 10 to 105 with points 5 apart.
void buildChains();
// Advances all chains by one step (the finale steps at 60 per second of demo time).
void stepChains();
