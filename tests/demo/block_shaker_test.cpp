#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "demo/block_shaker.h"
#include "demo/random.h"
#include "engine/math/matrix.h"
#include "support/expect_math.h"

namespace {

// Owns the nodes of one test's tree.
class Tree {
public:
    velmo::INode* add(velmo::INode* parent, const std::string& name,
                      velmo::Matrix local = velmo::identityMatrix()) {
        nodes.push_back(std::make_unique<velmo::DummyNode>());
        velmo::INode* node = nodes.back().get();
        node->setName(name);
        node->transform = local;
        if (parent != nullptr)
            parent->addChild(node);
        return node;
    }

private:
    std::vector<std::unique_ptr<velmo::INode>> nodes;
};

// The turn a wobble applies on each step, drawn as kick draws it: the node choice, then the
// rates about X, Y and Z.
struct ExpectedKick {
    size_t nodeIndex;
    velmo::Matrix turn;
};

ExpectedKick expectedKick(unsigned seed, size_t nodeCount) {
    demoSrand(seed);
    ExpectedKick e;
    e.nodeIndex = static_cast<size_t>(demoRand()) % nodeCount;
    const float x = demoRandomDraw() * 0.156f;
    const float y = demoRandomDraw() * 0.156f;
    const float z = demoRandomDraw() * 0.156f;
    e.turn = velmo::multiplyMatrix(velmo::multiplyMatrix(velmo::rotationX(x), velmo::rotationY(y)),
                                   velmo::rotationZ(z));
    return e;
}

TEST(BlockShakerCollect, FindsExactNamesInPreOrderAndSearchesBelowEveryNode) {
    Tree tree;
    velmo::INode* root = tree.add(nullptr, "kilinvittu"); // the start node is never tested
    velmo::INode* a = tree.add(root, "kilinvittu");
    velmo::INode* a1 = tree.add(a, "kilinvittu");
    velmo::INode* near1 = tree.add(a, "Kilinvittu");
    velmo::INode* a2 = tree.add(near1, "kilinvittu");
    velmo::INode* near2 = tree.add(root, "kilinvittu1");
    velmo::INode* b = tree.add(near2, "kilinvittu");
    velmo::INode* near3 = tree.add(root, "kilinvitt");
    velmo::INode* near4 = tree.add(near3, "kilinvittu ");
    velmo::INode* c = tree.add(near4, "kilinvittu");
    tree.add(root, "");

    BlockShaker shaker;
    shaker.collect(root);
    EXPECT_EQ(shaker.nodes, (std::vector<velmo::INode*>{a, a1, a2, b, c}));
}

TEST(BlockShakerCollect, VisitsASharedSubtreeOncePerPathAndAppendsAgainOnASecondCall) {
    Tree tree;
    velmo::INode* root = tree.add(nullptr, "root");
    velmo::INode* left = tree.add(root, "left");
    velmo::INode* right = tree.add(root, "kilinvittu");
    velmo::INode* shared = tree.add(left, "kilinvittu");
    right->addChild(shared);

    BlockShaker shaker;
    shaker.collect(root);
    EXPECT_EQ(shaker.nodes, (std::vector<velmo::INode*>{shared, right, shared}));
    shaker.collect(root);
    EXPECT_EQ(shaker.nodes.size(), 6u);
}

TEST(BlockShakerKick, PicksTheNodeAndRatesFromTheSharedGeneratorInOrder) {
    Tree tree;
    velmo::INode* root = tree.add(nullptr, "root");
    for (int i = 0; i < 3; ++i)
        tree.add(root, "kilinvittu");
    BlockShaker shaker;
    shaker.collect(root);

    for (unsigned seed : {1u, 7u, 1234u, 99999u}) {
        demoSrand(seed);
        std::vector<int> values;
        for (int i = 0; i < 5; ++i)
            values.push_back(demoRand());

        demoSrand(seed);
        shaker.kick();
        const Wobble& w = *shaker.wobbles.back();
        EXPECT_EQ(w.node, shaker.nodes[values[0] % 3]) << "seed " << seed;
        EXPECT_EQ(w.rateX, static_cast<float>((values[1] % 20000) / 10000.0 - 1.0) * 0.156f);
        EXPECT_EQ(w.rateY, static_cast<float>((values[2] % 20000) / 10000.0 - 1.0) * 0.156f);
        EXPECT_EQ(w.rateZ, static_cast<float>((values[3] % 20000) / 10000.0 - 1.0) * 0.156f);
        EXPECT_EQ(w.framesLeft, 10);
        // Exactly four values were drawn.
        EXPECT_EQ(demoRand(), values[4]);
    }
    EXPECT_EQ(shaker.wobbles.size(), 4u);
}

TEST(BlockShakerKick, WithoutCollectedNodesDoesNothing) {
    demoSrand(3);
    const int next = demoRand();
    demoSrand(3);
    BlockShaker shaker;
    shaker.kick();
    EXPECT_TRUE(shaker.wobbles.empty());
    EXPECT_EQ(demoRand(), next); // the generator did not move
}

TEST(BlockShakerStep, TurnsTheNodeOnElevenStepsAndKeepsTheTurn) {
    Tree tree;
    velmo::INode* root = tree.add(nullptr, "root");
    const velmo::Matrix start = velmo::makeTranslation(3.0f, 4.0f, 5.0f);
    velmo::INode* block = tree.add(root, "kilinvittu", start);
    BlockShaker shaker;
    shaker.collect(root);

    const ExpectedKick e = expectedKick(2024, 1);
    demoSrand(2024);
    shaker.kick();

    velmo::Matrix expected = start;
    for (int step = 1; step <= 11; ++step) {
        ASSERT_EQ(shaker.wobbles.size(), 1u) << "before step " << step;
        shaker.step();
        expected = velmo::multiplyMatrix(e.turn, expected);
        expectMatrixNear(block->transform, expected, 1e-5f);
    }
    EXPECT_TRUE(shaker.wobbles.empty());
    // The turn happens in the node's own frame: its position stays where it was.
    expectVecNear(velmo::getTranslation(block->transform), velmo::Vec3(3.0f, 4.0f, 5.0f));

    const velmo::Matrix turned = block->transform;
    shaker.step();
    shaker.step();
    expectMatrixNear(block->transform, turned, 0.0f);
}

TEST(BlockShakerStep, TwoWobblesOnOneNodeApplyInListOrder) {
    Tree tree;
    velmo::INode* root = tree.add(nullptr, "root");
    velmo::INode* block = tree.add(root, "kilinvittu");
    BlockShaker shaker;
    shaker.collect(root);

    const ExpectedKick first = expectedKick(5, 1);
    const ExpectedKick second = expectedKick(6, 1);
    demoSrand(5);
    shaker.kick();
    demoSrand(6);
    shaker.kick();
    shaker.step();
    expectMatrixNear(block->transform, velmo::multiplyMatrix(second.turn, first.turn), 1e-6f);
    // Rotations about different axes do not commute, so the order shows.
    const velmo::Matrix swapped = velmo::multiplyMatrix(first.turn, second.turn);
    float difference = 0.0f;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            difference = std::max(difference, std::abs(swapped.m[i][j] - block->transform.m[i][j]));
    EXPECT_GT(difference, 1e-6f);
}

TEST(BlockShakerFindLowest, ScansTheFirstChildsSubtreeAccumulatingOnlyNamedNodes) {
    Tree tree;
    // root's own transform and its second child never enter.
    velmo::INode* root = tree.add(nullptr, "root", velmo::makeTranslation(0.0f, -500.0f, 0.0f));
    velmo::INode* base = tree.add(root, "base", velmo::makeTranslation(0.0f, 5.0f, 0.0f));
    tree.add(root, "kilinvittu", velmo::makeTranslation(0.0f, -900.0f, 0.0f));
    velmo::INode* arm = tree.add(base, "kilinvittu", velmo::makeTranslation(0.0f, -2.0f, 0.0f));
    // Unnamed: its own transform is ignored, it passes its nearest named ancestor's matrix on.
    velmo::INode* plain = tree.add(arm, "plain", velmo::makeTranslation(0.0f, -300.0f, 0.0f));
    tree.add(plain, "kilinvittu", velmo::makeTranslation(0.0f, -1.5f, 0.0f));

    BlockShaker shaker;
    EXPECT_EQ(shaker.lowestHeight, 0.0f);
    shaker.root = root;
    shaker.findLowest();
    EXPECT_FLOAT_EQ(shaker.lowestHeight, 5.0f - 2.0f - 1.5f);

    // A turned named node carries its children's offsets along.
    arm->transform = velmo::multiplyMatrix(velmo::rotationZ(3.14159265f),
                                           velmo::makeTranslation(0.0f, -2.0f, 0.0f));
    shaker.findLowest();
    EXPECT_NEAR(shaker.lowestHeight, 5.0f - 2.0f, 1e-5f);
}

TEST(BlockShakerFindLowest, StaysAtElevenThousandWhenNothingIsLower) {
    Tree tree;
    velmo::INode* root = tree.add(nullptr, "root");
    velmo::INode* base = tree.add(root, "base", velmo::makeTranslation(0.0f, 11000.0f, 0.0f));
    tree.add(base, "kilinvittu", velmo::makeTranslation(0.0f, 5.0f, 0.0f));

    BlockShaker shaker;
    shaker.root = root;
    shaker.findLowest();
    EXPECT_EQ(shaker.lowestHeight, 11000.0f);
}

TEST(BlockShakerFindLowest, WithoutARootOrItsFirstChildReportsNoHeight) {
    BlockShaker shaker;
    shaker.findLowest();
    EXPECT_EQ(shaker.lowestHeight, 11000.0f);

    Tree tree;
    shaker.root = tree.add(nullptr, "root");
    shaker.lowestHeight = 3.0f;
    shaker.findLowest();
    EXPECT_EQ(shaker.lowestHeight, 11000.0f);
}

TEST(BlockShaker, TheDemosShakerStartsEmpty) {
    EXPECT_EQ(blockShaker.root, nullptr);
    EXPECT_EQ(blockShaker.lowestHeight, 0.0f);
    EXPECT_TRUE(blockShaker.nodes.empty());
    EXPECT_TRUE(blockShaker.wobbles.empty());
}

} // namespace
