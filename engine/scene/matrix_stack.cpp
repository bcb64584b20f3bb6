#include "engine/scene/matrix_stack.h"

namespace velmo {

MatrixStack* MatrixStack::instance() {
    static MatrixStack* const single = new MatrixStack;
    return single;
}

} // namespace velmo
