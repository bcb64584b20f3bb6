// The drawing context of the object being drawn: its shader, the scene being rendered and the
// stack of world matrices of the node walk that draws it.
#pragma once

#include <deque>

#include <d3dx9math.h>

namespace velmo {

class Scene;
class TShader;

class MatrixStack {
public:
    // The single instance, created empty on the first call and kept for the process.
    static MatrixStack* instance();

    MatrixStack(const MatrixStack&) = delete;
    MatrixStack& operator=(const MatrixStack&) = delete;

    // The shader of the object being drawn.
    TShader* shader = nullptr;
    // The scene being rendered; set by every scene render.
    Scene* scene = nullptr;
    // World matrices pushed and popped while an object's nodes are drawn.
    std::deque<D3DXMATRIX> matrices;

private:
    MatrixStack() = default;
};

} // namespace velmo
