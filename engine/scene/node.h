// The node tree: the scene graph's nodes, each with a process-unique id, a name,
// a local transform and an ordered list of child nodes that it does not own.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include <d3dx9math.h>

namespace velmo {

class INode {
public:
    using ChildList = std::list<INode*>;

    // Takes the next id of the process-wide counter; empty name, identity transform, no
    // children, child cursor not positioned.
    INode();
    // Frees the node's own lists; the children are never destroyed. Virtual, so that a node
    // deleted through a base pointer runs its own class's destructor.
    virtual ~INode();
    INode(const INode&) = delete;
    INode& operator=(const INode&) = delete;

    // Called by the scene's update walk with the parent's world matrix. Does nothing here.
    virtual void update(const D3DXMATRIX* parentWorld, float t);
    // A copy of transform.
    virtual D3DXMATRIX getTransform();
    virtual bool isRenderable();

    // Appends child at the end of children and records its position; no duplicate check (a
    // child added twice is listed twice, and its recorded position is the later one). The
    // child cursor does not move.
    ChildList::iterator addChild(INode* child);
    // Erases the recorded position of child from children (when there is one), then forgets
    // the position. A cursor standing on the erased element moves on to the next one.
    void removeChild(INode* child);
    void setName(std::string newName);

    // Positions the child cursor on the first child (at the end when there are none).
    void rewindChildren();
    // The child at the cursor, advancing the cursor by one; null (the cursor staying) at the
    // end of the list or when the cursor was never positioned.
    INode* nextChild();

    // Depth-first, pre-order, first match: this node, then each child's subtree in list order.
    // Exact, case-sensitive comparison of the whole name. Uses the visited nodes' cursors.
    INode* findByName(std::string wanted);

    // Builds a text picture of the subtree and discards it; moves the visited nodes' cursors.
    void dumpTree(int depth, std::vector<INode*>& ancestors);
    // The text dumpTree builds: one line per node, "#<id>: <class>[, "<name>"][ (renderable)]"
    // behind one two-character segment per ancestor.
    std::string treeText(int depth, std::vector<INode*>& ancestors);

    // The process-wide counter's next value (the id of the next node to be constructed).
    static int32_t nextId();

    const int32_t id;
    ChildList children;
    std::map<INode*, ChildList::iterator> childPositions;
    D3DXMATRIX transform;
    std::string name;
    // A hidden subtree draws nothing: the render walk and the transform pass pass it by. The
    // scene root hides and shows its children (SceneRoot::setChildHidden), so that a subtree
    // shown again holds the matrices the passes it missed would have given it.
    bool hidden = false;

private:
    void writeTree(std::string& out, int depth, std::vector<INode*>& ancestors);
    // The class name shown by dumpTree.
    const char* className();
    bool hasChildrenLeft() const;

    ChildList::iterator cursor;
    bool cursorPositioned = false;
};

// A group node: no members, no overrides.
class DummyNode : public INode {};

// A point light placed by its local transform.
class NodePointlight : public INode {
public:
    NodePointlight(float x, float y, float z, float intensity, float power, float range, float r,
                   float g, float b, float a);

    // (r, g, b, a); the shader receives it multiplied by intensity.
    D3DXVECTOR4 color;
    float intensity;
    float power;
    // The constructor's third parameter; nothing reads it.
    float range;
};

// The interface of nodes that draw themselves.
class INodeRenderable : public INode {
public:
    bool isRenderable() override;
    // Draws the node; parentWorld is the world matrix of the node's parent.
    virtual void render(const D3DXMATRIX* parentWorld) = 0;
    // Six floats: minimum x, y, z, then maximum x, y, z of the node's bounding box.
    virtual float* getBounds() = 0;
};

// Deletes root and every node below it, each once: a node reached along several paths (a mesh
// shared by instances, a model added under several parents) is deleted a single time. For a
// tree nothing else refers to any more; null is ignored.
void deleteTree(INode* root);

} // namespace velmo
