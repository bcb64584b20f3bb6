// The node tree. Each test case runs in a process of its own, so the node counter
// starts at 0 in every case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/math/matrix.h"
#include "engine/scene/node.h"

namespace {

using velmo::DummyNode;
using velmo::INode;
using velmo::NodePointlight;

// A renderable node for the tests.
class BoxNode : public velmo::INodeRenderable {
public:
    void render(const D3DXMATRIX* parentWorld) override {
        ++renders;
        lastParentWorld = *parentWorld;
    }
    float* getBounds() override { return bounds; }

    int renders = 0;
    D3DXMATRIX lastParentWorld;
    float bounds[6] = {-1, -1, -1, 1, 1, 1};
};

std::vector<INode*> walk(INode& node) {
    std::vector<INode*> seen;
    node.rewindChildren();
    while (INode* child = node.nextChild())
        seen.push_back(child);
    return seen;
}

DummyNode* named(DummyNode& node, const char* name) {
    node.setName(name);
    return &node;
}

TEST(Node, IdsCountUpFromZeroAcrossTheWholeFamily) {
    EXPECT_EQ(INode::nextId(), 0);
    DummyNode first;
    NodePointlight light(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
    BoxNode box;
    auto* heap = new DummyNode;
    EXPECT_EQ(first.id, 0);
    EXPECT_EQ(light.id, 1);
    EXPECT_EQ(box.id, 2);
    EXPECT_EQ(heap->id, 3);
    delete heap;
    // Ids are never reused.
    DummyNode after;
    EXPECT_EQ(after.id, 4);
    EXPECT_EQ(INode::nextId(), 5);
}

TEST(Node, StartsEmptyWithTheIdentityTransform) {
    DummyNode node;
    EXPECT_TRUE(node.name.empty());
    EXPECT_TRUE(node.children.empty());
    EXPECT_TRUE(node.childPositions.empty());
    EXPECT_TRUE(node.transform == velmo::identityMatrix());
    EXPECT_TRUE(node.getTransform() == velmo::identityMatrix());
    EXPECT_FALSE(node.isRenderable());
    // The cursor is not positioned: nothing to yield before a rewind.
    EXPECT_EQ(node.nextChild(), nullptr);
}

TEST(Node, GetTransformReturnsACopy) {
    DummyNode node;
    node.transform = velmo::makeTranslation(1, 2, 3);
    D3DXMATRIX copy = node.getTransform();
    EXPECT_TRUE(copy == node.transform);
    copy.m[3][0] = 99.0f;
    EXPECT_EQ(node.transform.m[3][0], 1.0f);
}

TEST(Node, UpdateDoesNothingInTheBase) {
    DummyNode node;
    node.transform = velmo::makeTranslation(1, 2, 3);
    const D3DXMATRIX parent = velmo::rotationZ(1.0f);
    node.update(&parent, 2.0f);
    EXPECT_TRUE(node.transform == velmo::makeTranslation(1, 2, 3));
}

TEST(Node, NextChildOnAChildlessNodeIsNullAtOnce) {
    DummyNode node;
    node.rewindChildren();
    EXPECT_EQ(node.nextChild(), nullptr);
    EXPECT_EQ(node.nextChild(), nullptr);
}

TEST(Node, ChildrenAreWalkedInInsertionOrderUntilNull) {
    DummyNode parent, a, b, c;
    const auto position = parent.addChild(&a);
    EXPECT_EQ(*position, &a);
    parent.addChild(&b);
    parent.addChild(&c);
    EXPECT_EQ(walk(parent), (std::vector<INode*>{&a, &b, &c}));
    // At the end the cursor stays there.
    EXPECT_EQ(parent.nextChild(), nullptr);
    EXPECT_EQ(parent.nextChild(), nullptr);
    // A rewind starts over.
    parent.rewindChildren();
    EXPECT_EQ(parent.nextChild(), &a);
}

TEST(Node, AddingAChildDoesNotMoveTheCursor) {
    DummyNode parent, a, b, c;
    parent.addChild(&a);
    parent.addChild(&b);
    parent.rewindChildren();
    EXPECT_EQ(parent.nextChild(), &a);
    parent.addChild(&c);
    EXPECT_EQ(parent.nextChild(), &b);
    EXPECT_EQ(parent.nextChild(), &c);
    EXPECT_EQ(parent.nextChild(), nullptr);
}

TEST(Node, AChildAddedTwiceIsListedTwice) {
    DummyNode parent, a, b;
    parent.addChild(&a);
    parent.addChild(&b);
    parent.addChild(&a);
    EXPECT_EQ(walk(parent), (std::vector<INode*>{&a, &b, &a}));
    // The recorded position is the later one: removing drops that listing.
    parent.removeChild(&a);
    EXPECT_EQ(walk(parent), (std::vector<INode*>{&a, &b}));
    // The position is forgotten: a second removal changes nothing.
    parent.removeChild(&a);
    EXPECT_EQ(walk(parent), (std::vector<INode*>{&a, &b}));
}

struct RemoveCase {
    const char* name;
    int removed;
    std::vector<int> remaining;
};

void PrintTo(const RemoveCase& c, std::ostream* os) {
    *os << c.name;
}

class RemoveChild : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveChild, KeepsTheOrderOfTheOthers) {
    DummyNode parent;
    DummyNode kids[4];
    for (DummyNode& kid : kids)
        parent.addChild(&kid);
    parent.removeChild(&kids[GetParam().removed]);
    std::vector<INode*> expected;
    for (int k : GetParam().remaining)
        expected.push_back(&kids[k]);
    EXPECT_EQ(walk(parent), expected);
    EXPECT_EQ(parent.childPositions.count(&kids[GetParam().removed]), 0u);
    EXPECT_EQ(parent.childPositions.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RemoveChild,
    ::testing::Values(RemoveCase{"First", 0, {1, 2, 3}}, RemoveCase{"Second", 1, {0, 2, 3}},
                      RemoveCase{"Third", 2, {0, 1, 3}}, RemoveCase{"Last", 3, {0, 1, 2}}),
    [](const ::testing::TestParamInfo<RemoveCase>& info) { return info.param.name; });

TEST(Node, RemovingANodeThatIsNotAChildChangesNothing) {
    DummyNode parent, a, stranger;
    parent.addChild(&a);
    parent.removeChild(&stranger);
    EXPECT_EQ(walk(parent), (std::vector<INode*>{&a}));
    EXPECT_EQ(parent.childPositions.size(), 1u);
}

TEST(Node, RemovingTheChildUnderTheCursorLeavesTheWalkOnTheNext) {
    DummyNode parent, a, b, c;
    parent.addChild(&a);
    parent.addChild(&b);
    parent.addChild(&c);
    parent.rewindChildren();
    EXPECT_EQ(parent.nextChild(), &a);
    parent.removeChild(&b);
    EXPECT_EQ(parent.nextChild(), &c);
    EXPECT_EQ(parent.nextChild(), nullptr);
}

TEST(Node, SetNameReplacesTheName) {
    DummyNode node;
    node.setName("first");
    node.setName("second");
    EXPECT_EQ(node.name, "second");
}

TEST(Node, FindByNameExhaustsASubtreeBeforeTheNextChild) {
    DummyNode root, a, b, ax;
    root.addChild(named(a, "A"));
    root.addChild(named(b, "x"));
    a.addChild(named(ax, "x"));
    EXPECT_EQ(root.findByName("x"), &ax);
}

TEST(Node, FindByNameCases) {
    // root ("") -> one ("one") -> deep ("deep"); root -> two ("two") -> anonymous ("").
    DummyNode root, one, deep, two, anonymous;
    root.addChild(named(one, "one"));
    root.addChild(named(two, "two"));
    one.addChild(named(deep, "deep"));
    two.addChild(&anonymous);

    struct Case {
        INode* from;
        const char* wanted;
        INode* expected;
    };
    const Case cases[] = {
        {&root, "one", &one},        {&root, "deep", &deep},
        {&root, "two", &two},        {&two, "deep", nullptr},  // only the subtree is searched
        {&root, "missing", nullptr}, {&root, "Deep", nullptr}, // case-sensitive
        {&root, "dee", nullptr},                               // the whole name
        {&root, "", &root},     // the empty name matches the node itself first
        {&two, "", &anonymous}, // ... or the first unnamed node in pre-order
        {&deep, "deep", &deep},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.from->findByName(c.wanted), c.expected)
            << "searching \"" << c.wanted << "\" from \"" << c.from->name << "\"";
}

TEST(Node, PointLightSitsAtItsTranslation) {
    const NodePointlight light(20, 0, -15, 15, 2, 100, 0.5f, 0.25f, 0.125f, 1);
    EXPECT_TRUE(light.transform == velmo::makeTranslation(20, 0, -15));
    EXPECT_EQ(light.transform.m[3][0], 20.0f);
    EXPECT_EQ(light.transform.m[3][2], -15.0f);
    EXPECT_EQ(light.transform.m[3][3], 1.0f);
    EXPECT_EQ(light.intensity, 15.0f);
    EXPECT_EQ(light.power, 2.0f);
    EXPECT_EQ(light.range, 100.0f);
    EXPECT_TRUE(light.color == D3DXVECTOR4(0.5f, 0.25f, 0.125f, 1.0f));
    EXPECT_TRUE(light.name.empty());
    EXPECT_FALSE(const_cast<NodePointlight&>(light).isRenderable());
}

TEST(Node, RenderableNodesSaySo) {
    BoxNode box;
    INode& asNode = box;
    EXPECT_TRUE(asNode.isRenderable());
    const D3DXMATRIX parent = velmo::makeTranslation(1, 1, 1);
    box.render(&parent);
    EXPECT_EQ(box.renders, 1);
    EXPECT_EQ(box.getBounds()[3], 1.0f);
}

TEST(Node, ChildrenOutliveTheirParent) {
    auto* child = new DummyNode;
    child->setName("child");
    {
        DummyNode parent;
        parent.addChild(child);
    }
    EXPECT_EQ(child->name, "child");
    delete child;
}

TEST(Node, DeletingThroughTheBaseRunsTheDerivedDestructor) {
    INode* light = new NodePointlight(1, 2, 3, 1, 1, 1, 1, 1, 1, 1);
    light->setName("a name long enough to live on the heap, freed by the destructor");
    delete light; // the leak checker sees the name freed
}

TEST(Node, TreePictureShowsIdsClassesNamesAndBranches) {
    const int first = INode::nextId();                  // 0 in a process of its own
    DummyNode root;                                     // first
    DummyNode a;                                        // first + 1
    NodePointlight light(0, 0, 0, 1, 1, 1, 1, 1, 1, 1); // first + 2
    BoxNode box;                                        // first + 3
    DummyNode b;                                        // first + 4
    root.setName("root");
    a.setName("A");
    root.addChild(&a);
    root.addChild(&b);
    a.addChild(&light);
    a.addChild(&box);

    const auto id = [first](int k) { return "#" + std::to_string(first + k); };
    std::vector<INode*> ancestors;
    const std::string text = root.treeText(0, ancestors);
    EXPECT_EQ(text, id(0) + ": DummyNode, \"root\"\n" +                 //
                        "+-" + id(1) + ": DummyNode, \"A\"\n" +         //
                        "| +-" + id(2) + ": NodePointlight\n" +         //
                        "| `-" + id(3) + ": [unknown] (renderable)\n" + //
                        "`-" + id(4) + ": DummyNode\n");
    EXPECT_TRUE(ancestors.empty());
}

TEST(Node, DumpTreeOnlyMovesTheCursors) {
    DummyNode root, a, b;
    root.addChild(&a);
    root.addChild(&b);
    std::vector<INode*> ancestors;
    root.dumpTree(0, ancestors);
    EXPECT_TRUE(ancestors.empty());
    EXPECT_EQ(root.children.size(), 2u);
    // The walk left the root's cursor at the end.
    EXPECT_EQ(root.nextChild(), nullptr);
    EXPECT_EQ(walk(root), (std::vector<INode*>{&a, &b}));
}

} // namespace
