// Renderables: objects that draw into a render target of their own and hand that target on
// as a texture (the scenes and the post-processing stages).
#pragma once

#include "engine/resources/render_target.h"

namespace velmo {

// The interface of everything that renders; it has no operations of its own.
class IRenderable {
public:
    virtual ~IRenderable() = default;
};

// Draws into its own pooled A8R8G8B8 target, and only when the time it is given has moved by
// more than 0.001 since the last draw; between, the target keeps its last picture.
class BufferRenderable : public IRenderable {
public:
    BufferRenderable() = default;
    // Gives the target back to the end of the pool's free list; the pool keeps it alive.
    ~BufferRenderable() override;
    BufferRenderable(const BufferRenderable&) = delete;
    BufferRenderable& operator=(const BufferRenderable&) = delete;

    // Draws when |t - lastRenderTime| > 0.001 (single precision, strict) and remembers t.
    virtual void render(float t);
    // Draws whatever the time, without remembering it.
    void forceRender(float t);
    // What a draw puts into the target, which is bound as render target 0 and cleared to
    // transparent black. Nothing here.
    virtual void renderContent(float t);

    virtual RenderTarget* getRenderTarget();
    // The further targets that a scene's shading writes into; none here.
    virtual RenderTarget* extraTarget();
    virtual RenderTarget* floatTarget();
    virtual RenderTarget* colorTarget();

    // Borrowed from the pool on the first draw.
    RenderTarget* renderTarget = nullptr;
    float lastRenderTime = -1.0f;

private:
    void draw(float t);
};

} // namespace velmo
