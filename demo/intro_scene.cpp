#include "demo/intro_scene.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "demo/particles.h"
#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "engine/math/matrix.h"
#include "engine/math/spline.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/mesh_font.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/render/shader.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

velmo::Spline* introEyePath = nullptr;
velmo::Spline* introTargetPath = nullptr;
velmo::Scene* introScene = nullptr;
velmo::PerspectiveCamera* introCamera = nullptr;
velmo::INode* skyModel = nullptr;
velmo::INode* logoModel = nullptr;
velmo::TShader* twirlShader = nullptr;
velmo::DummyNode* yearText = nullptr;
velmo::INode* mobileModel = nullptr;
velmo::INode* townModel = nullptr;
velmo::INode* lampsModel = nullptr;
velmo::Texture* smogTexture = nullptr;
ParticleSystem2* introParticles = nullptr;

namespace {

using velmo::INode;
using velmo::Matrix;
using velmo::MeshInstance;
using velmo::Vec3;

// Eye-path points are (angle parameter, radius, height); the target path uses only the first
// component, as the height looked at.
constexpr float eyePoints[12] = {6.75f, 19.5f, 84.5f, 8.055f, 96.5f, 73.0f,
                                 9.86f, 33.5f, 21.0f, 8.45f,  96.5f, 6.5f};
constexpr float targetPoints[12] = {90.8f, 19.5f, 84.5f, 130.0f, 96.5f, 73.0f,
                                    30.5f, 33.5f, 21.0f, 33.5f,  96.5f, 6.5f};

// The nodes the ticks edit, found once when the scene is built; null when a model lacks one.
MeshInstance* logoText = nullptr;
INode* mobileEmitter = nullptr;
INode* mobileParts[2] = {nullptr, nullptr};
INode* yearNode = nullptr;

// The t of the previous tick, once there was one.
float lastIntroTick = 0.0f;
bool ticked = false;

// Spectrum bins for a frame before the main loop has chosen a row.
constexpr float silentRow[SpectrumData::binsPerRow] = {};

const float* spectrumRow() {
    return currentSpectrumRow != nullptr ? currentSpectrumRow : silentRow;
}

// The product of the matrices in order: the first acts first on a point.
Matrix product(std::initializer_list<Matrix> factors) {
    Matrix out = velmo::identityMatrix();
    for (const Matrix& m : factors) {
        velmo::multiplyMatrix(out, out, m);
    }
    return out;
}

Matrix scaling(float s) {
    Matrix out;
    D3DXMatrixScaling(&out, s, s, s);
    return out;
}

void setColours(velmo::Material& m, float ambient, float diffuse, float specular) {
    m.ambient = D3DXVECTOR4(ambient, ambient, ambient, ambient);
    m.diffuse = D3DXVECTOR4(diffuse, diffuse, diffuse, diffuse);
    m.specular = D3DXVECTOR4(specular, specular, specular, specular);
}

// The first child of a model's root as a mesh instance; null when there is none.
MeshInstance* firstInstance(INode* model) {
    if (model == nullptr) {
        return nullptr;
    }
    model->rewindChildren();
    return dynamic_cast<MeshInstance*>(model->nextChild());
}

MeshInstance* findInstance(INode* model, const char* name) {
    return model != nullptr ? dynamic_cast<MeshInstance*>(model->findByName(name)) : nullptr;
}

INode* findNode(INode* model, const char* name) {
    return model != nullptr ? model->findByName(name) : nullptr;
}

INode* loadModel(const char* path) {
    return sharedModelLoader != nullptr ? sharedModelLoader->load(path) : nullptr;
}

void addToScene(INode* node) {
    if (node != nullptr) {
        introScene->root->addChild(node);
        introScene->root->registerLights(node);
    }
}

// Gives the numbered nodes of a series ("Plane0%i", i = 1 to count) one look; missing ones
// are skipped.
void styleSeries(INode* model, const char* format, int count, float ambient, float colour,
                 const char* technique) {
    for (int i = 1; i <= count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, format, i);
        if (MeshInstance* part = findInstance(model, name)) {
            setColours(part->material, ambient, colour, colour);
            part->material.setTechnique(technique);
        }
    }
}

void buildSky() {
    skyModel = loadModel("data/SkyTeaPot.x");
    if (skyModel == nullptr) {
        return;
    }
    // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
    skyModel->transform = product({velmo::rotationX(1.57f), velmo::rotationY(1.57f), scaling(50.1f),
                                   velmo::makeTranslation(0.0f, -60.0f, 0.0f)});
    if (MeshInstance* sky = firstInstance(skyModel)) {
        setColours(sky->material, 0.25f, 10.0f, 10.0f);
        sky->material.setTechnique("skybox");
    }
    addToScene(skyModel);
}

void buildLogo() {
    logoModel = loadModel("data/quellan2.x");
    if (logoModel != nullptr) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        logoModel->transform =
            product({scaling(1.5f), velmo::rotationX(3.1415f),
                     velmo::makeTranslation(30.0f, 90.0f, 30.0f), logoModel->transform});
    }
    logoText = findInstance(logoModel, "Text01");
    if (logoText != nullptr) {
        logoText->material.setTechnique("TwirlObject");
    }
    twirlShader = new velmo::TShader("SolidObject.fxo", "TwirlObject", introScene);
    addToScene(logoModel);
    if (logoText != nullptr) {
        velmo::Material& m = logoText->material;
        m.diffuse *= 20.0f;
        m.specular *= 10.0f;
        m.specularPower = 8.0f;
        // The ticks set the ambient red, green and blue; its alpha stays opaque.
        m.ambient = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 1.0f);
    }
}

void buildYearText() {
    if (wideFont == nullptr) {
        return;
    }
    yearText = wideFont->createTextNode("2008", Vec3(12.5f, 0.0f, 0.0f), nullptr);
    const float w = wideFont->textWidth("2008");
    yearText->transform =
        product({yearText->transform, velmo::makeTranslation(-6.25f * w, 3.125f * w, 0.0f),
                 scaling(100.0f)});
    addToScene(yearText);
}

void buildMobile() {
    mobileModel = loadModel("data/quelmobile2.x");
    if (mobileModel != nullptr) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        mobileModel->transform = product(
            {velmo::makeTranslation(0.0f, 0.0f, 32.0f), velmo::rotationX(-0.5f),
             velmo::rotationY(0.7f), scaling(9.0f), velmo::makeTranslation(0.0f, -60.0f, 0.0f),
             velmo::rotationY(-1.57f), velmo::rotationX(1.5707964f),
             velmo::makeTranslation(10.0f, 0.0f, 0.0f), mobileModel->transform});
    }
    mobileEmitter = findNode(mobileModel, "Dummy01");
    mobileParts[0] = findNode(mobileModel, "object2");
    mobileParts[1] = findNode(mobileModel, "object3");
    addToScene(mobileModel);
}

void buildTown() {
    townModel = loadModel("data/town.x");
    if (townModel != nullptr) {
        // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
        townModel->transform = product({scaling(2.0f), velmo::rotationY(-0.95f),
                                        velmo::rotationX(1.2707963f), townModel->transform});
    }
    styleSeries(townModel, "Plane0%i", 9, 1.0f, 1.0f, "AlphaObject");
    addToScene(townModel);

    lampsModel = loadModel("data/valot.x");
    if (lampsModel != nullptr && townModel != nullptr) {
        lampsModel->transform = townModel->transform;
    }
    styleSeries(lampsModel, "valo0%i", 3, 1.0f, 0.0f, "AdditiveObject");
    addToScene(lampsModel);
}

// Two lights above the logo, one to each side.
void buildLights() {
    const Vec3 logo =
        logoModel != nullptr ? velmo::getTranslation(logoModel->transform) : Vec3(0, 0, 0);
    for (float side : {40.0f, -40.0f}) {
        addToScene(new velmo::NodePointlight(logo.x + side, logo.y + 30.0f, logo.z + 10.0f,
                                             /*intensity=*/7.0f, /*power=*/1.0f,
                                             /*range=*/250.0f, 1.0f, 1.0f, 1.0f, 1.0f));
    }
}

} // namespace

void buildIntroScene() {
    introEyePath = new velmo::Spline(eyePoints);
    introTargetPath = new velmo::Spline(targetPoints);

    introScene = new velmo::Scene;
    introCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
    introScene->root->camera = introCamera;

    if (sharedModelLoader != nullptr) {
        sharedModelLoader->singleTextureSet = true;
        sharedModelLoader->negateNormals = true;
    }
    buildSky();
    if (sharedModelLoader != nullptr) {
        sharedModelLoader->negateNormals = false;
    }
    buildLogo();
    buildYearText();
    buildMobile();
    buildTown();

    velmo::DeviceState* device = velmo::Device::instance()->state;
    introScene->root->blurMapEnabled = true;
    introScene->root->blurMapTarget = device->acquireRenderTarget(D3DFMT_A8R8G8B8);
    buildLights();
    introScene->velocityScale = 0.3f;

    velmo::preloadFile("data/smog.jpg");
    smogTexture = velmo::Device::loadTexture("data/smog.jpg");
    introParticles = new ParticleSystem2(4000, smogTexture);
    addToScene(introParticles);

    // Every model is in the scene now, so this finds what a search at tick time would.
    yearNode = introScene->findNode("2008");
}

Vec3 introEyeAt(const Vec3& e) {
    return Vec3(e.y * std::sin(0.4f * e.x), e.z, e.y * std::cos(0.4f * e.x));
}

Vec3 introTargetAt(float height, float t) {
    return Vec3(2.4f * std::cos(0.01f * t), height, 1.4f * std::sin(0.014f * t));
}

float introTwistAt(float t) {
    const float x = 48.0f - t;
    return x >= 0.1f ? x / 26.0f : 0.1f;
}

IntroStages introStagesAt(float t, const float* row) {
    float treble = 0.0f;
    for (size_t bin = 52; bin < SpectrumData::binsPerRow; ++bin) {
        treble += row[bin];
    }
    IntroStages s;
    s.value = t < 10.0f ? t / 10.0f * 0.9f : 0.9f;
    s.late = t > 47.0f ? (t - 47.0f) * 0.002f : 0.0f;
    s.distortion = treble * 0.01f + s.late;
    s.mapDistortion = 0.5f * s.late - 0.01f * treble;
    return s;
}

velmo::TextureParticle* makeSmokeParticle(float bass, const Vec3& emitter) {
    const float r1 = demoRandomDraw();
    const float r2 = demoRandomDraw();
    const float r3 = demoRandomDraw();
    return new velmo::TextureParticle(bass * 3.0f + 10.0f, bass * 0.45f + 0.35f,
                                      emitter.x + 2.5f * r3, emitter.y + 2.5f * r2,
                                      emitter.z + 2.5f * r1);
}

void updateIntroScene(float timeStep, float t) {
    if (introScene == nullptr) {
        return;
    }
    if (!ticked) {
        lastIntroTick = t;
        ticked = true;
    }
    const float delta = t - lastIntroTick;
    lastIntroTick = t;
    introScene->update(delta);

    const float s0 = spectrumRow()[0];
    const float bass = s0 * s0;

    if (mobileEmitter != nullptr) {
        const Vec3 emitter = velmo::getTranslation(
            velmo::multiplyMatrix(mobileEmitter->transform, mobileModel->transform));
        for (int i = 0; i < 5; ++i) {
            velmo::TextureParticle* puff = makeSmokeParticle(bass, emitter);
            // A full system refuses the puff; it is not kept.
            if (introParticles->allocParticle(puff) < 0) {
                delete puff;
            }
        }
    }
    const Matrix identity = velmo::identityMatrix();
    introParticles->update(&identity, timeStep);

    const float u = t * 0.03125f;
    const Vec3 eye = introEyePath->evaluate(u);
    const Vec3 target = introTargetPath->evaluate(u);

    if (mobileModel != nullptr) {
        mobileModel->transform = velmo::multiplyMatrix(velmo::makeTranslation(0.0f, 0.0f, -delta),
                                                       mobileModel->transform);
        if (yearNode != nullptr) {
            yearNode->transform = velmo::multiplyMatrix(scaling(100.0f), mobileModel->transform);
        }
    }

    introCamera->position = introEyeAt(eye);
    introCamera->target = introTargetAt(target.x, t);
    introCamera->up = Vec3(0.0f, 1.0f, 0.0f);

    const Vec3 axis(std::cos(0.79f * t), std::sin(t), 0.5f);
    twirlShader->setFloat("disM", introTwistAt(t) + bass);
    twirlShader->setFloat3("axis", axis);

    if (logoText != nullptr) {
        velmo::Material& m = logoText->material;
        m.setTechnique("TwirlObject");
        m.ambient = D3DXVECTOR4(axis.x, axis.y, axis.z, 1.0f);
        m.diffuse = D3DXVECTOR4(0.75f, 0.75f, 0.75f, 0.75f);
        m.specular = m.diffuse;
        m.specularPower = 10.0f;
        m.bumpiness = 2.0f;
    }
    for (INode* part : mobileParts) {
        if (part != nullptr) {
            // The engine's rotationX/Y: transposed from D3DX's (engine/math/matrix.h).
            part->transform = velmo::multiplyMatrix(velmo::rotationX(0.05f), part->transform);
        }
    }
}

namespace {

// The picture stages over the rendered scene, laid over the current target.
void drawIntroStages(float t) {
    const IntroStages stages = introStagesAt(t, spectrumRow());

    velmo::HSVEffect hsv(introScene, 0.0f, 1.0f, stages.value);
    hsv.render(t);
    velmo::MotionblurEffect blur(hsv.getRenderTarget(), introScene->getRenderTarget(),
                                 introScene->floatTarget(), 0.015f);
    blur.render(t);
    velmo::MappedDistortionEffect d1(blur.getRenderTarget(), blur.getRenderTarget(),
                                     stages.distortion, 0.03f);
    d1.render(t);
    velmo::MappedDistortionEffect d2(d1.getRenderTarget(), introScene->colorTarget(),
                                     stages.mapDistortion, 0.03f);
    d2.render(t);
    velmo::drawScreenQuad(d2.getRenderTarget(), 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    // The stages go out of scope in the order d2, d1, blur, hsv, giving their targets back.
}

} // namespace

void renderIntroScene(float t) {
    if (introScene == nullptr) {
        return;
    }
    introScene->render(t);
    drawIntroStages(t);
}

void warmIntroScene() {
    if (introScene == nullptr) {
        return;
    }
    if (introParticles != nullptr) {
        warmWithParticle(*introScene, *introParticles, 0.0f);
    } else {
        introScene->warm(0.0f);
    }
    drawIntroStages(0.0f);
}

void freeIntroScene() {
    delete introEyePath;
    introEyePath = nullptr;
    delete introTargetPath;
    introTargetPath = nullptr;
}
