#include "demo/harmonia_scene.h"

#include <cmath>

#include <d3d9.h>

#include "demo/particles.h"
#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "demo/timeline.h"
#include "engine/math/matrix.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/mesh_font.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/device_state.h"
#include "engine/resources/render_target.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

HarmoniaLayout harmoniaLayout;
velmo::Scene* harmoniaMainScene = nullptr;
velmo::PerspectiveCamera* harmoniaMainCamera = nullptr;
velmo::INode* harmoniaModel = nullptr;
Ef2::SPSystem* harmoniaParticles = nullptr;
velmo::NodePointlight* harmoniaCameraLight = nullptr;
velmo::INode* harmoniaTextNodes[4] = {};
float harmoniaPulse = 0.0f;
int harmoniaCameraClose = 0;

namespace {

using velmo::Matrix;
using velmo::Vec3;

const char* const programmeLines[4] = {"exhibitions of art and machines",
                                       "workshops and presentations", "parties and competitions",
                                       "special guests and events"};

// The two parts of the ball model, found once when the scene is built; null when the model
// lacks them or they are not mesh instances.
velmo::MeshInstance* pallo = nullptr;
velmo::MeshInstance* langat = nullptr;

Matrix scaling(float x, float y, float z) {
    Matrix m = velmo::identityMatrix();
    m._11 = x;
    m._22 = y;
    m._33 = z;
    return m;
}
Matrix scaling(float s) {
    return scaling(s, s, s);
}
Matrix translation(const Vec3& p) {
    return velmo::makeTranslation(p.x, p.y, p.z);
}

Matrix product(std::initializer_list<Matrix> factors) {
    Matrix result = velmo::identityMatrix();
    for (const Matrix& m : factors)
        result = velmo::multiplyMatrix(result, m);
    return result;
}

// Adds node under parent unless it is missing: a null child would end the walks early.
void addChild(velmo::INode* parent, velmo::INode* node) {
    if (node)
        parent->addChild(node);
}

void addToScene(velmo::Scene* scene, velmo::INode* node) {
    if (!node)
        return;
    scene->root->addChild(node);
    scene->root->registerLights(node);
}

velmo::MeshInstance* findInstance(velmo::INode* root, const char* name) {
    return root ? dynamic_cast<velmo::MeshInstance*>(root->findByName(name)) : nullptr;
}

// The pipe's frame: its y axis towards Q, turned about it by the diagonal.
Matrix pipeRotation(const Vec3& p, Vec3 q) {
    Vec3 x1 = velmo::cross(p, Vec3(1.0f, 1.0f, 1.0f));
    Vec3 x2 = velmo::cross(x1, q);
    velmo::normalize(x1);
    velmo::normalize(q);
    velmo::normalize(x2);
    return Matrix(x1.x, x1.y, x1.z, 0.0f, q.x, q.y, q.z, 0.0f, x2.x, x2.y, x2.z, 0.0f, 0.0f, 0.0f,
                  0.0f, 1.0f);
}

void setColor(D3DXVECTOR4& color, float r, float g, float b, float a) {
    color = D3DXVECTOR4(r, g, b, a);
}

void placeLens(float pulse, float t) {
    const float p = (pulse - 0.4f) * (pulse - 0.4f);
    const float sa = (std::sin(p) + 1.0f) * 0.5f;
    const float ca = (std::cos(t) + 1.0f) * 0.5f;
    const float q = 4.0f * p;
    D3DVIEWPORT9 viewport{};
    if (IDirect3DDevice9* device = velmo::Device::instance()->state->device)
        device->GetViewport(&viewport);
    const float a = harmoniaLensAspect(viewport);
    Matrix inverseProjection = harmoniaMainCamera->getProjection();
    D3DXMatrixInverse(&inverseProjection, nullptr, &inverseProjection);
    if (pallo) {
        velmo::Material& m = pallo->material;
        setColor(m.ambient, 100 * p, 100 * sa * p, 100 * ca * p, 100 * p);
        setColor(m.diffuse, 20, 20 * sa, 20 * ca, 20);
        setColor(m.specular, 200, 200 * sa, 200 * ca, 200);
        m.bumpiness = 1000.0f;
        pallo->transform = harmoniaBallTransform(q, a, inverseProjection);
    }
    if (langat) {
        setColor(langat->material.ambient, q, q, q, q);
        langat->transform = harmoniaStringsTransform(q, a, inverseProjection);
    }
}

void deriveArrangement(float t, float pulse) {
    demoSrand(8383);
    for (velmo::INode* node : harmoniaLayout.lolos) {
        float r[8];
        for (float& v : r)
            v = demoRandomDraw();
        const Vec3 position(4 * r[2], 4 * (2 * (r[1] / 3)), 4 * r[0]);
        const float a = 6.28f * r[3];
        const float b = 6.28f * r[4];
        const float s = 0.02f * (r[5] + 2);
        const float theta = 6.28f * r[7] + 2 * (5 * t) * r[6] + 2 * pulse;
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        node->transform = product({velmo::rotationY(theta), scaling(s), velmo::rotationX(b),
                                   velmo::rotationY(a), translation(position)});
    }
    for (velmo::INode* node : harmoniaLayout.pipes) {
        float r[5];
        for (float& v : r)
            v = demoRandomDraw();
        const float a = 0.4f * r[0];
        const float b = (r[1] + 1) / 3;
        const float c = 0.4f * r[2];
        const Vec3 p(1.8f * 2.5f * c, 1.8f * 2.5f * b, 1.8f * 2.5f * a);
        const float e = std::sin(r[3] + 3 * t);
        const float d = r[4] + 1;
        node->transform = product({scaling(0.4f * d + 1, d, 0.4f * d + 1),
                                   pipeRotation(p, Vec3(p.x, 0.5f * e + 3, p.z)), translation(p)});
    }
    for (velmo::INode* head : harmoniaLayout.chainHeads)
        swingChain(0, head, 5 * t, demoRandomDraw());
}

// Shows line n in the text scene (replacing any other line), places it and the text camera and
// light, and renders the text scene.
void renderProgrammeLine(float t, float w) {
    if (!harmoniaScene)
        return;
    const int n = harmoniaLineIndex(harmoniaProgress);
    const float fr = harmoniaProgress - static_cast<float>(n);
    velmo::INode* line = harmoniaTextNodes[n];
    if (line && !harmoniaScene->findNode(programmeLines[n])) {
        for (int i = 0; i < 4; ++i) {
            if (i == n)
                continue;
            if (velmo::INode* other = harmoniaScene->findNode(programmeLines[i]))
                harmoniaScene->root->removeChild(other);
        }
        addToScene(harmoniaScene, line);
    }
    if (line)
        line->transform =
            velmo::multiplyMatrix(scaling(0.04f, 0.04f, 0.001f),
                                  velmo::makeTranslation(0.0f, 0.17f * (10.0f * n - 15.0f), 0.0f));
    if (harmoniaCamera) {
        harmoniaCamera->position = Vec3(70 * fr - 10, 0, -5);
        harmoniaCamera->target = Vec3(70 * fr - 10, 0, 0);
        harmoniaCamera->up = Vec3(0, 1, 0);
    }
    if (harmoniaLight)
        velmo::setTranslation(harmoniaLight->transform,
                              Vec3(9 * std::sin(9 * t), w, 56 * std::cos(7.4f * t)));
    harmoniaScene->render(t);
}

} // namespace

float harmoniaBassEnergy(const float* row) {
    float energy = 0.0f;
    for (int i = 0; i <= 24; ++i)
        energy += static_cast<float>(25 - i) * row[i];
    return energy;
}

float harmoniaLensAspect(const D3DVIEWPORT9& viewport) {
    if (viewport.Height == 0)
        return 1.0f;
    return static_cast<float>(viewport.Width / viewport.Height);
}

Matrix harmoniaBallTransform(float q, float aspect, const Matrix& inverseProjection) {
    return product({scaling(14.0f), velmo::makeTranslation(0.0f, -5.0f * q, 0.0f),
                    velmo::perspectiveFovLH(q, aspect, 0.0f, 100.0f), inverseProjection});
}

Matrix harmoniaStringsTransform(float q, float aspect, const Matrix& inverseProjection) {
    if (q > 2.5f)
        return harmoniaBallTransform(q, aspect, inverseProjection);
    return product({velmo::makeTranslation(0.0f, -5.0f * q, 0.0f), scaling(14.0f),
                    velmo::perspectiveFovLH(2.5f, aspect, 0.0f, 100.0f), inverseProjection});
}

int harmoniaLineIndex(float progress) {
    const int n = static_cast<int>(progress);
    return n < 0 ? 0 : (n > 3 ? 3 : n);
}

void buildHarmoniaLayout(HarmoniaLayout& layout) {
    layout.root = new velmo::DummyNode;
    demoSrand(8383);
    for (int i = 0; i < 20; ++i) {
        auto* node = new velmo::DummyNode;
        layout.root->addChild(node);
        addChild(node, loloModel);
        const float r1 = demoRandomDraw(), r2 = demoRandomDraw(), r3 = demoRandomDraw();
        const Vec3 position(2 * r1, 2 * (2 * (r2 / 3)), 2 * r3);
        const float a = 6.28f * demoRandomDraw();
        const float b = 6.28f * demoRandomDraw();
        const float s = 0.02f * (demoRandomDraw() + 2);
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        node->transform =
            product({scaling(s), velmo::rotationX(b), velmo::rotationY(a), translation(position)});
        layout.lolos.push_back(node);
    }
    for (int i = 0; i < 16; ++i) {
        auto* node = new velmo::DummyNode;
        layout.root->addChild(node);
        addChild(node, piippuModel);
        const float r1 = demoRandomDraw(), r2 = demoRandomDraw(), r3 = demoRandomDraw();
        const Vec3 p(2.5f * (0.1f * r1), 2.5f * ((r2 + 1) / 3), 2.5f * (0.1f * r3));
        const float d = 1.4f * (demoRandomDraw() + 1);
        node->transform =
            product({scaling(1, d, 1), pipeRotation(p, Vec3(p.x, 3.0f, p.z)), translation(p)});
        auto* spawner = new SavuParticleSpawner;
        spawner->target = harmoniaParticles;
        spawner->transform = velmo::makeTranslation(0.0f, 3.4f, 0.0f);
        node->addChild(spawner);
        layout.pipes.push_back(node);
    }
    const Matrix rz = velmo::rotationZ(-1.57f);
    for (int i = 0; i < 6; ++i) {
        auto* base = new velmo::DummyNode;
        layout.root->addChild(base);
        const float r1 = demoRandomDraw(), r2 = demoRandomDraw(), r3 = demoRandomDraw();
        base->transform = product(
            {rz, scaling(0.5f), translation(Vec3(4.5f * r1, 4.5f * ((r2 + 1) / -3), 4.5f * r3))});
        auto* head = new velmo::DummyNode;
        base->addChild(head);
        layout.chainHeads.push_back(head);
        layout.chainNodes.push_back(head);
        velmo::INode* current = head;
        for (int k = 0; k < 12; ++k) {
            // Without a block model the chain keeps its shape: an empty node holds the place of
            // the block, so the link stays the second child that the swing follows.
            current->addChild(blockModel ? blockModel : new velmo::DummyNode);
            auto* link = new velmo::DummyNode;
            link->transform = velmo::makeTranslation(8.2f, 0.0f, 0.0f);
            current->addChild(link);
            auto* end = new velmo::DummyNode;
            link->addChild(end);
            layout.chainNodes.push_back(end);
            current = end;
        }
    }
}

void buildHarmoniaScene() {
    harmoniaMainScene = new velmo::Scene;
    harmoniaMainCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
    harmoniaMainScene->root->camera = harmoniaMainCamera;
    harmoniaMainScene->root->blurMapEnabled = true;
    harmoniaMainScene->root->blurMapTarget =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    // The motion blur reads the blur map and the depth; nothing reads the colour target.
    harmoniaMainScene->root->colorTargetRead = false;
    harmoniaMainScene->velocityScale = 0.1f;

    if (scriptFont) {
        for (int i = 0; i < 4; ++i) {
            harmoniaTextNodes[i] =
                scriptFont->createTextNode(programmeLines[i], Vec3(32, 0, 0), textMaterial);
            const float w = scriptFont->textWidth(programmeLines[i]);
            harmoniaTextNodes[i]->transform = velmo::multiplyMatrix(
                scaling(0.8f), velmo::makeTranslation(w * 0.5f * 70.0f, 0.0f, 0.0f));
        }
    }

    if (sharedModelLoader) {
        sharedModelLoader->singleTextureSet = true;
        harmoniaModel = sharedModelLoader->load("data/harmonia.x");
    }
    pallo = findInstance(harmoniaModel, "pallo");
    langat = findInstance(harmoniaModel, "langat");
    if (pallo) {
        velmo::Material& m = pallo->material;
        setColor(m.ambient, 0.2f, 0.2f, 0.2f, 0.2f);
        setColor(m.diffuse, 0.8f, 0.8f, 0.8f, 0.8f);
        setColor(m.specular, 10, 10, 10, 10);
        m.bumpiness = 1000.0f;
    }
    if (langat) {
        velmo::Material& m = langat->material;
        setColor(m.ambient, 1.5f, 1.5f, 1.5f, 1.0f);
        setColor(m.diffuse, 400, 400, 400, 400);
        setColor(m.specular, 1000, 1000, 1000, 1000);
        m.normalMap = m.texture;
        m.bumpiness = 1000.0f;
        m.lightBleed = 100.0f;
        m.specularPower = 1000.0f;
        langat->transform = scaling(14.0f);
    }
    addToScene(harmoniaMainScene, harmoniaModel);

    harmoniaParticles = new Ef2::SPSystem(150000, particleTexture);
    buildHarmoniaLayout(harmoniaLayout);
    harmoniaCameraLight = new velmo::NodePointlight(0, 0, 0, /*intensity=*/15, /*power=*/2,
                                                    /*range=*/20, 1, 1, 1, 1);
    addToScene(harmoniaMainScene, harmoniaCameraLight);
    addToScene(harmoniaMainScene,
               new velmo::NodePointlight(10, -4, 2, /*intensity=*/15, /*power=*/2, /*range=*/20,
                                         0.5f, 0.2f, 0.3f, 1));
    addToScene(harmoniaMainScene, harmoniaLayout.root);
    addToScene(harmoniaMainScene, harmoniaParticles);
}

void updateHarmoniaScene(float t) {
    // Nothing to advance before the scene is built.
    if (!harmoniaMainScene)
        return;
    static bool started = false;
    static float previous = 0.0f;
    if (!started) {
        started = true;
        previous = t;
    }
    const float dt = t - previous;
    previous = t;
    harmoniaMainScene->update(dt);
    if (harmoniaScene)
        harmoniaScene->update(dt);

    if (harmoniaBassEnergy(currentSpectrumRow) >= 30.0f)
        harmoniaPulse += 0.5f;
    if (harmoniaPulse > 0.5f)
        harmoniaPulse = static_cast<float>(harmoniaPulse / static_cast<double>(1.2f));
    else
        harmoniaPulse = 0.5f;
}

void swingChain(int depth, velmo::INode* node, float rate, float offset) {
    const float pulse = harmoniaPulse;
    for (int k = depth; node; ++k) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        node->transform = velmo::multiplyMatrix(
            velmo::rotationZ(pulse * std::sin(-2.28f * offset - 0.2f * rate * k)),
            velmo::rotationY(pulse * std::sin(0.3f * rate * k + 2.28f * offset)));
        node->rewindChildren();
        node->nextChild();
        velmo::INode* link = node->nextChild();
        if (!link)
            return;
        link->rewindChildren();
        node = link->nextChild();
    }
}

namespace {

// The picture stages over the rendered main scene, and the text scene over them, laid over
// the current target.
void drawHarmoniaStages(float t);

} // namespace

void renderHarmoniaScene() {
    if (!harmoniaMainScene)
        return;
    const float t = demoTime;
    const float pulse = harmoniaPulse;
    const float w = harmoniaBassEnergy(currentSpectrumRow);
    if (w > 20.0f)
        harmoniaCameraClose = 1 - harmoniaCameraClose;
    const float f = harmoniaCameraClose == 0 ? 2.0f : 1.0f;
    const float u = 0.2f * t;
    const float r = 3 * std::sin(0.4f * u) + 8;
    const Vec3 eye(f * r * std::sin(u), f * r * 1.5f * std::sin(u), f * r * std::cos(u));

    harmoniaMainScene->ambientScale = D3DXVECTOR4(0.1f, 0.1f, 0.1f, 0.1f);
    harmoniaMainScene->specularScale = D3DXVECTOR4(1, 1, 1, 1);
    harmoniaMainScene->diffuseScale = D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f);
    placeLens(pulse, t);
    deriveArrangement(t, pulse);
    renderProgrammeLine(t, w);

    harmoniaMainCamera->position = eye;
    harmoniaMainCamera->target = velmo::getTranslation(harmoniaLayout.root->transform);
    harmoniaMainCamera->up = Vec3(0, 1, 0);
    velmo::makeTranslation(harmoniaCameraLight->transform, eye.x, eye.y, eye.z);
    harmoniaMainScene->render(t);
    drawHarmoniaStages(t);
}

void warmHarmoniaScene() {
    if (!harmoniaMainScene)
        return;
    if (harmoniaParticles)
        warmWithParticle(*harmoniaMainScene, *harmoniaParticles, 128.5f);
    else
        harmoniaMainScene->warm(128.5f);
    if (harmoniaScene) {
        // A programme line is shown only from the part's first frame: one is put in for the
        // draw (its glyphs meet every state the others do) and taken out again.
        velmo::INode* line = harmoniaTextNodes[0];
        const bool add = line && !harmoniaScene->findNode(programmeLines[0]);
        if (add)
            harmoniaScene->root->addChild(line);
        harmoniaScene->warm(128.5f);
        if (add)
            harmoniaScene->root->removeChild(line);
    }
    drawHarmoniaStages(128.5f);
}

namespace {

void drawHarmoniaStages(float t) {
    IDirect3DDevice9* device = velmo::Device::instance()->state->device;
    device->BeginScene();
    velmo::HSVEffect hsv(harmoniaMainScene, 0.0f, 2.0f, 1.1f);
    hsv.render(t);
    velmo::MotionblurEffect blur(hsv.getRenderTarget(), harmoniaMainScene->extraTarget(),
                                 harmoniaMainScene->floatTarget(), 0.8f);
    blur.render(t);
    velmo::drawScreenQuad(blur.getRenderTarget(), 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    if (harmoniaScene)
        velmo::drawScreenQuad(harmoniaScene->getRenderTarget(), 1.0f, 0.0f, D3DBLEND_INVSRCALPHA,
                              D3DBLEND_SRCALPHA);
    device->EndScene();
}

} // namespace
