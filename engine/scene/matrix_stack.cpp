#include "engine/scene/matrix_stack.h"

#include "engine/math/matrix.h"

namespace velmo {

MatrixStack* MatrixStack::instance() {
    static MatrixStack* const single = new MatrixStack;
    return single;
}

void MatrixStack::push(const D3DXMATRIX& m) {
    matrices.push_back(m);
}

void MatrixStack::pop() {
    if (!matrices.empty()) {
        matrices.pop_back();
    }
}

D3DXMATRIX MatrixStack::top() const {
    return matrices.empty() ? identityMatrix() : matrices.back();
}

} // namespace velmo
