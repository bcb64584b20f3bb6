// A node tree a test built and frees when it goes out of scope (before the device goes).
#pragma once

#include <memory>

#include "engine/scene/node.h"

struct TreeDeleter {
    void operator()(velmo::INode* root) const { velmo::deleteTree(root); }
};
using OwnedTree = std::unique_ptr<velmo::INode, TreeDeleter>;
