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

    void push(const D3DXMATRIX& m);
    // Drops the top matrix; an empty stack stays empty.
    void pop();
    // The matrix last pushed; the identity when the stack is empty.
    D3DXMATRIX top() const;

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
