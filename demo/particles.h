// The demo's particle motion on top of the engine's textured particle systems: the intro's
// drifting smoke, the harmonia scene's rising particles with their fixed lifetime, and the
// spawner node that feeds the latter at its own world position.
#pragma once

#include <vector>

#include "engine/render/particle_system.h"
#include "engine/scene/node.h"
#include "engine/scene/scene.h"

// Hands a new copy of particle to the system; the slot it took, or -1 when the system refused
// it (full), in which case the copy is freed again.
int emitParticle(velmo::TextureParticleSystem& system, const velmo::TextureParticle& particle);

// Draws scene once (velmo::Scene::warm) with one particle put into system, so that the draw
// meets the particles' drawing state too although none may have been emitted yet, then takes
// the particle out again: the system's slots are as they were.
void warmWithParticle(velmo::Scene& scene, velmo::TextureParticleSystem& system, float t);

// The intro's smoke: particles grow, fade and drift with a jitter that repeats every tick.
// Each update seeds the shared generator with a fixed value for the jitter, then hands it on
// from a saved seed that moves on by one draw per update, so the rest of the demo does not
// see the same numbers every tick. Particles are never retired.
class ParticleSystem2 : public velmo::TextureParticleSystem {
public:
    using velmo::TextureParticleSystem::TextureParticleSystem;
    void update(const D3DXMATRIX* parentWorld, float dt) override;
};

namespace Ef2 {

// The harmonia scene's particles: they rise, grow and fade for 8 seconds, then are retired.
class SPSystem : public velmo::TextureParticleSystem {
public:
    static constexpr float lifetime = 8.0f;

    using velmo::TextureParticleSystem::TextureParticleSystem;
    void update(const D3DXMATRIX* parentWorld, float dt) override;

    // Seconds each slot's particle has lived; a slot not listed yet has age 0, and a retired
    // particle's slot starts again at 0.
    std::vector<float> ages;
};

} // namespace Ef2

// Emits one particle into its target every 0.02 s at its world position.
class SavuParticleSpawner : public velmo::DummyNode {
public:
    void update(const D3DXMATRIX* parentWorld, float dt) override;

    float accumulator = 0.0f;
    // Not owned; a spawner without a target emits nothing.
    velmo::TextureParticleSystem* target = nullptr;
};
