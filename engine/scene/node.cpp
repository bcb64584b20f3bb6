#include "engine/scene/node.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <typeinfo>
#include <unordered_set>

#include "engine/math/matrix.h"

namespace velmo {

namespace {

// The process-wide node counter: the id of the next node constructed. Never reset.
int32_t nodeCounter = 0;

int32_t takeId() {
    const int32_t id = nodeCounter;
    nodeCounter = static_cast<int32_t>(static_cast<uint32_t>(nodeCounter) + 1u);
    return id;
}

} // namespace

INode::INode() : id(takeId()), transform(identityMatrix()), cursor(children.end()) {}

INode::~INode() = default;

void INode::update(const D3DXMATRIX* /*parentWorld*/, float /*t*/) {}

D3DXMATRIX INode::getTransform() {
    return transform;
}

bool INode::isRenderable() {
    return false;
}

INode::ChildList::iterator INode::addChild(INode* child) {
    const ChildList::iterator position = children.insert(children.end(), child);
    childPositions[child] = position;
    return position;
}

void INode::removeChild(INode* child) {
    const auto entry = childPositions.find(child);
    if (entry == childPositions.end())
        return;
    const ChildList::iterator position = entry->second;
    if (position != children.end()) {
        if (cursorPositioned && cursor == position)
            ++cursor;
        children.erase(position);
    }
    childPositions.erase(entry);
}

void INode::setName(std::string newName) {
    name = std::move(newName);
}

void INode::rewindChildren() {
    cursor = children.begin();
    cursorPositioned = true;
}

INode* INode::nextChild() {
    if (!cursorPositioned || cursor == children.end())
        return nullptr;
    INode* child = *cursor;
    ++cursor;
    return child;
}

INode* INode::findByName(std::string wanted) {
    if (name == wanted)
        return this;
    rewindChildren();
    while (INode* child = nextChild()) {
        if (INode* found = child->findByName(wanted))
            return found;
    }
    return nullptr;
}

int32_t INode::nextId() {
    return nodeCounter;
}

bool INode::hasChildrenLeft() const {
    return cursorPositioned && cursor != children.end();
}

const char* INode::className() {
    static const char* const known[] = {
        "DummyNode", "Mesh", "MeshInstance", "NodePointlight", "TextureParticle", "IParticle"};
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    const char* result = "[unknown]";
    if (status == 0 && demangled) {
        const char* plain = demangled;
        if (std::strncmp(plain, "velmo::", 7) == 0)
            plain += 7;
        for (const char* candidate : known) {
            if (std::strcmp(plain, candidate) == 0) {
                result = candidate;
                break;
            }
        }
    }
    std::free(demangled);
    return result;
}

void INode::writeTree(std::string& out, int depth, std::vector<INode*>& ancestors) {
    std::ostringstream line;
    for (size_t i = 0; i < ancestors.size(); ++i) {
        const bool more = ancestors[i]->hasChildrenLeft();
        if (i + 1 == ancestors.size())
            line << (more ? "+-" : "`-");
        else
            line << (more ? "| " : "  ");
    }
    line << "#" << id << ": " << className();
    if (!name.empty())
        line << ", \"" << name << "\"";
    if (isRenderable())
        line << " (renderable)";
    line << "\n";
    out += line.str();

    ancestors.push_back(this);
    rewindChildren();
    while (INode* child = nextChild())
        child->writeTree(out, depth + 1, ancestors);
    ancestors.pop_back();
}

std::string INode::treeText(int depth, std::vector<INode*>& ancestors) {
    std::string out;
    writeTree(out, depth, ancestors);
    return out;
}

void INode::dumpTree(int depth, std::vector<INode*>& ancestors) {
    // The picture is built and dropped, as the engine has nowhere to show it.
    const std::string discarded = treeText(depth, ancestors);
    (void)discarded;
}

NodePointlight::NodePointlight(float x, float y, float z, float intensity_, float power_,
                               float range_, float r, float g, float b, float a)
    : color(r, g, b, a), intensity(intensity_), power(power_), range(range_) {
    makeTranslation(transform, x, y, z);
}

bool INodeRenderable::isRenderable() {
    return true;
}

void deleteTree(INode* root) {
    std::unordered_set<INode*> seen;
    std::vector<INode*> pending{root};
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (node == nullptr || !seen.insert(node).second)
            continue;
        pending.insert(pending.end(), node->children.begin(), node->children.end());
    }
    for (INode* node : seen)
        delete node;
}

} // namespace velmo
