#include "demo/particles.h"

// The motion of each system is written by its own step; until then particles stand still.
void ParticleSystem2::update(const D3DXMATRIX*, float) {}
void Ef2::SPSystem::update(const D3DXMATRIX*, float) {}
void SavuParticleSpawner::update(const D3DXMATRIX*, float) {}
