#include "demo/particles.h"

#include "demo/random.h"
#include "engine/math/matrix.h"

namespace {

// Where the generator continues after the smoke's fixed jitter; moves on every update.
unsigned savedSeed = 38483;

constexpr unsigned smokeJitterSeed = 34939;
constexpr float spawnInterval = 0.02f;

} // namespace

int emitParticle(velmo::TextureParticleSystem& system, const velmo::TextureParticle& particle) {
    auto* record = new velmo::TextureParticle(particle);
    const int slot = system.allocParticle(record);
    if (slot < 0) {
        delete record;
    }
    return slot;
}

void warmWithParticle(velmo::Scene& scene, velmo::TextureParticleSystem& system, float t) {
    const size_t slotsBefore = system.slots.size();
    const int slot = emitParticle(system, velmo::TextureParticle(1.0f, 0.5f, 0.0f, 0.0f, 0.0f));
    scene.warm(t);
    if (slot < 0) {
        return;
    }
    system.freeParticle(slot);
    // A slot the particle added is dropped again rather than kept for reuse.
    if (system.slots.size() > slotsBefore) {
        system.slots.pop_back();
        system.freeIndices.pop_back();
    }
}

void ParticleSystem2::update(const D3DXMATRIX*, float dt) {
    demoSrand(smokeJitterSeed);
    for (velmo::TextureParticle* p : slots) {
        if (p == nullptr) {
            continue;
        }
        p->alpha -= dt * 0.065f;
        p->size += dt * 0.07f;
        const float r1 = demoRandomDraw() * 0.5f;
        const float r2 = demoRandomDraw() * 0.5f;
        p->x += r1 * dt * 10.0f;
        p->y += r2 * dt * 10.0f;
        p->z += dt * 10.0f;
    }
    demoSrand(savedSeed);
    savedSeed = static_cast<unsigned>(demoRand());
}

void Ef2::SPSystem::update(const D3DXMATRIX*, float dt) {
    if (ages.size() < slots.size()) {
        ages.resize(slots.size(), 0.0f);
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        velmo::TextureParticle* p = slots[i];
        if (p == nullptr) {
            continue;
        }
        p->y += dt;
        const float remaining = (lifetime - ages[i]) * 0.125f;
        p->alpha = 0.2f * remaining * remaining;
        p->size += 0.3f * dt;
        ages[i] += dt;
        if (ages[i] > lifetime) {
            freeParticle(static_cast<int>(i));
            ages[i] = 0.0f;
        }
    }
}

void SavuParticleSpawner::update(const D3DXMATRIX* parentWorld, float dt) {
    accumulator += dt;
    while (accumulator > spawnInterval) {
        accumulator -= spawnInterval;
        const velmo::Matrix world = velmo::multiplyMatrix(transform, *parentWorld);
        const velmo::Vec3 at = velmo::transformPoint(velmo::Vec3(0.0f, 0.0f, 0.0f), world);
        if (target != nullptr) {
            emitParticle(*target, velmo::TextureParticle(0.1f, 1.0f, at.x, at.y, at.z));
        }
    }
}
