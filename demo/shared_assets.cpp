#include "demo/shared_assets.h"

#include "engine/math/matrix.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/mesh/modifiers.h"
#include "engine/render/material.h"
#include "engine/render/mesh_font.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

velmo::MeshLoader* sharedModelLoader = nullptr;
velmo::Texture* moonTexture = nullptr;
velmo::Texture* pumTexture = nullptr;
velmo::Texture* moonNormalTexture = nullptr;
velmo::Texture* particleTexture = nullptr;
velmo::INode* blockModel = nullptr;
velmo::MeshFont* wideFont = nullptr;
velmo::MeshFont* scriptFont = nullptr;
velmo::Material* textMaterial = nullptr;
velmo::INode* piippuModel = nullptr;
velmo::INode* loloModel = nullptr;
velmo::Scene* harmoniaScene = nullptr;
velmo::PerspectiveCamera* harmoniaCamera = nullptr;
velmo::NodePointlight* harmoniaLight = nullptr;

namespace {

velmo::Texture* loadTexture(const char* name) {
    velmo::preloadFile(name);
    return velmo::Device::loadTexture(name);
}

velmo::Matrix uniformScale(float s) {
    velmo::Matrix m = velmo::identityMatrix();
    m._11 = m._22 = m._33 = s;
    return m;
}

void generateTextureCoordinates(velmo::Mesh* mesh, float scale0, float scale1) {
    velmo::meshmodify::Texgen(0, scale0).apply(mesh);
    velmo::meshmodify::Texgen(1, scale1).apply(mesh);
}

struct Color {
    float r, g, b, a;
    const float* data() const { return &r; }
};

void setColors(velmo::Material& m, Color ambient, Color diffuse, Color specular) {
    m.setAmbient(ambient.data());
    m.setDiffuse(diffuse.data());
    m.setSpecular(specular.data());
}

// The parts of a loaded model that its preparation edits: the first instance and its mesh.
// A model that lacks either is left as loaded.
struct ModelParts {
    velmo::MeshInstance* instance;
    velmo::Mesh* mesh;
};

bool findParts(velmo::INode* model, ModelParts& parts) {
    parts.instance = firstMeshInstance(model);
    parts.mesh = firstMesh(parts.instance);
    return parts.mesh != nullptr;
}

// Moon-textured, normal-mapped shading of the harmonia models.
void useMoonSurface(velmo::Material& m) {
    m.specularPower = 8.0f;
    m.texture = moonTexture;
    m.normalMap = moonNormalTexture;
}

// The mesh's next read-back welds equal positions, and its normals are computed from the
// welded faces instead of the file's.
void weldOnReadBack(velmo::Mesh* mesh) {
    mesh->data->normalsLocked = false;
    mesh->data->readBackOption = true;
}

} // namespace

velmo::MeshInstance* firstMeshInstance(velmo::INode* model) {
    if (model == nullptr) {
        return nullptr;
    }
    model->rewindChildren();
    return dynamic_cast<velmo::MeshInstance*>(model->nextChild());
}

velmo::Mesh* firstMesh(velmo::INode* instance) {
    if (instance == nullptr) {
        return nullptr;
    }
    instance->rewindChildren();
    return dynamic_cast<velmo::Mesh*>(instance->nextChild());
}

void prepareGlyphs(velmo::MeshFont& font, float scale) {
    const velmo::Matrix scaling = uniformScale(scale);
    for (const auto& [c, glyph] : font.glyphs) {
        if (glyph == nullptr) {
            continue;
        }
        glyph->transform(scaling);
        generateTextureCoordinates(glyph, 0.1f, 0.1f);
    }
}

void loadPiippuMesh() {
    piippuModel = sharedModelLoader->load("data/piippu.3ds");
    ModelParts parts;
    if (!findParts(piippuModel, parts)) {
        return;
    }
    velmo::Material& m = parts.instance->material;
    setColors(m, {0, 0, 0, 0}, {0.1f, 0.1f, 0.1f, 0.1f}, {0.3f, 0.3f, 0.3f, 0.3f});
    useMoonSurface(m);

    weldOnReadBack(parts.mesh);
    velmo::meshmodify::InvertFaces().apply(parts.mesh);
    parts.mesh->transform(uniformScale(0.4f));
    generateTextureCoordinates(parts.mesh, 0.5f, 1.4f);
}

void loadLoloMesh() {
    loloModel = sharedModelLoader->load("data/lolo.x");
    ModelParts parts;
    if (!findParts(loloModel, parts)) {
        return;
    }
    velmo::Material& m = parts.instance->material;
    setColors(m, {0.2f, 0.2f, 0.2f, 0.2f}, {4, 4, 4, 4}, {1, 1, 1, 1});
    useMoonSurface(m);
    m.bumpiness = 1.5f;

    weldOnReadBack(parts.mesh);
    parts.mesh->transform(uniformScale(0.4f));
    generateTextureCoordinates(parts.mesh, 0.1f, 0.4f);
}

void loadSharedAssets() {
    sharedModelLoader = new velmo::MeshLoader;

    moonTexture = loadTexture("data/moon.jpg");
    pumTexture = loadTexture("data/pum.jpg");
    moonNormalTexture = loadTexture("data/moon_normal.jpg");
    particleTexture = loadTexture("data/partikle.png");

    // Every later load through the shared loader keeps these unless a builder changes them.
    sharedModelLoader->negateNormals = true;
    sharedModelLoader->singleTextureSet = true;
    blockModel = sharedModelLoader->load("data/block1.x");

    wideFont = new velmo::MeshFont("ShadowedBlackWide", 0.1f);
    wideFont->buildGlyphs();
    prepareGlyphs(*wideFont, 50.0f);
    scriptFont = new velmo::MeshFont("ChopinScript", 10.1f);
    scriptFont->buildGlyphs();
    prepareGlyphs(*scriptFont, 110.0f);

    textMaterial = new velmo::Material;
    setColors(*textMaterial, {0, 0, 0, 0}, {1, 1, 1, 1}, {1, 1, 1, 1});

    loadPiippuMesh();
    loadLoloMesh();

    harmoniaScene = new velmo::Scene;
    harmoniaCamera = new velmo::PerspectiveCamera(1.3f, 1.0f, 200.0f);
    harmoniaScene->ambientScale = {1, 1, 1, 1};
    harmoniaScene->diffuseScale = {1, 1, 1, 1};
    harmoniaScene->specularScale = {1, 1, 1, 1};
    harmoniaScene->root->camera = harmoniaCamera;
    // The programme lines are laid over the picture as they are: no stage reads the further
    // targets.
    harmoniaScene->root->floatTargetRead = false;
    harmoniaScene->root->colorTargetRead = false;

    harmoniaLight = new velmo::NodePointlight(20, 0, -15, /*intensity=*/15, /*power=*/2,
                                              /*range=*/100, 1, 1, 1, 1);
    harmoniaScene->root->addChild(harmoniaLight);
    harmoniaScene->root->registerLights(harmoniaLight);
    harmoniaLight->intensity = 5000.0f;
    harmoniaLight->power = 0.12f;
}
