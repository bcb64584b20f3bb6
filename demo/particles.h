// The demo's particle motion on top of the engine's textured particle systems: the intro's
// drifting smoke, the harmonia scene's rising particles with their fixed lifetime, and the
// spawner node that feeds the latter at its own world position.
#pragma once

#include "engine/render/particle_system.h"
#include "engine/scene/node.h"

// The intro's smoke: particles grow, fade and drift with a jitter that repeats every tick.
class ParticleSystem2 : public velmo::TextureParticleSystem {
public:
    using velmo::TextureParticleSystem::TextureParticleSystem;
    void update(const D3DXMATRIX* parentWorld, float dt) override;
};

namespace Ef2 {

// The harmonia scene's particles: they rise, grow and fade for 8 seconds, then are retired.
class SPSystem : public velmo::TextureParticleSystem {
public:
    using velmo::TextureParticleSystem::TextureParticleSystem;
    void update(const D3DXMATRIX* parentWorld, float dt) override;
};

} // namespace Ef2

// Emits one particle into its target every 0.02 s at its world position.
class SavuParticleSpawner : public velmo::DummyNode {
public:
    void update(const D3DXMATRIX* parentWorld, float dt) override;

    float accumulator = 0.0f;
    velmo::TextureParticleSystem* target = nullptr;
};
