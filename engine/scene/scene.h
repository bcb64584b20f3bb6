// A scene: a node graph under its root, a camera, the scene-wide lighting settings and the
// further targets that mesh shading writes into, rendered into the scene's own target.
#pragma once

#include <string>

#include <d3dx9math.h>

#include "engine/scene/renderable.h"

namespace velmo {

class INode;
class SceneRoot;

class Scene : public BufferRenderable {
public:
    // The settings at their defaults and a new root owned by this scene.
    Scene();
    // Deletes the root (which gives its targets back), then gives the scene's own target back.
    // The nodes and the camera put into the scene are not destroyed.
    ~Scene() override;

    // The root's render with the same time.
    void renderContent(float t) override;
    // The root's blur-map target: null unless one was installed.
    RenderTarget* extraTarget() override;
    // The root's D3DFMT_R32F target.
    RenderTarget* floatTarget() override;
    // The root's D3DFMT_A8R8G8B8 target.
    RenderTarget* colorTarget() override;

    // Draws the scene into its target as forceRender(t) does, then puts back everything the
    // draw moved that a later frame reads: the root's transform-pass state and matrices, its
    // gathered lights and time, the current scene and the matrix stack's scene. Loading draws
    // each scene so once, so that the renderer meets its shaders and drawing states before
    // the first frame that needs them; the frames after are as if it had not been drawn.
    void warm(float t);

    // Makes this the current scene and runs the update walk from the root with the identity.
    void update(float t);
    // The first node of that name, depth-first and pre-order from the root; null when none.
    INode* findNode(std::string name);
    // The time difference measured by the root's last transform pass.
    float timeStep();

    SceneRoot* root = nullptr;
    bool directionalLightEnabled = false;
    // Sent as "directionallight.dir".
    D3DXVECTOR3 directionalLightDir{1.0f, 1.0f, 0.0f};
    D3DXVECTOR4 directionalLightColor{1.0f, 1.0f, 1.0f, 1.0f};
    float directionalLightIntensity = 1.0f;
    // Per-component factors on every material's colours.
    D3DXVECTOR4 ambientScale{1.0f, 1.0f, 1.0f, 1.0f};
    D3DXVECTOR4 diffuseScale{1.0f, 1.0f, 1.0f, 1.0f};
    D3DXVECTOR4 specularScale{1.0f, 1.0f, 1.0f, 1.0f};
    // Sent as "velocityScale" when the scene has a blur-map target.
    float velocityScale = 1.0f;
};

// The scene being updated or rendered: set by Scene::update and SceneRoot::render, read by
// renderable nodes that need their scene's camera.
extern Scene* currentScene;

} // namespace velmo
