// The demo's particle motion: the spawner's fixed emission interval, the rising particles'
// lifetime and fading, and the smoke's jitter that repeats every tick while the shared
// generator moves on.
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "demo/particles.h"
#include "demo/random.h"
#include "engine/math/matrix.h"

namespace {

// Live allocations of particle-record size, to see records that nobody frees.
size_t liveRecords = 0;

} // namespace

void* operator new(size_t size) {
    if (size == sizeof(velmo::TextureParticle)) {
        ++liveRecords;
    }
    if (void* p = std::malloc(size > 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p, size_t size) noexcept {
    if (p != nullptr && size == sizeof(velmo::TextureParticle)) {
        --liveRecords;
    }
    std::free(p);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

namespace {

using velmo::TextureParticle;
using velmo::TextureParticleSystem;

// The particles of a system without a device: it keeps them all the same.
std::vector<TextureParticle> live(const TextureParticleSystem& s) {
    std::vector<TextureParticle> out;
    for (const TextureParticle* p : s.slots) {
        if (p != nullptr) {
            out.push_back(*p);
        }
    }
    return out;
}

TEST(SavuParticleSpawner, EmitsOneParticleForEveryWhole20MsAtItsWorldPosition) {
    const struct {
        float accumulator;
        float dt;
        int emitted;
        float kept;
    } cases[] = {
        {0.0f, 0.02f, 0, 0.02f},    // 0.02 is not more than 0.02
        {0.0f, 0.05f, 2, 0.01f},    // two and the remainder
        {0.015f, 0.05f, 3, 0.005f}, // the carried remainder adds a third
        {0.0f, 0.0f, 0, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.accumulator << " + " << c.dt);
        TextureParticleSystem target(100, nullptr);
        SavuParticleSpawner spawner;
        spawner.target = &target;
        spawner.accumulator = c.accumulator;
        spawner.transform = velmo::makeTranslation(1, 2, 3);
        const velmo::Matrix parent = velmo::makeTranslation(10, 0, -5);
        spawner.update(&parent, c.dt);
        EXPECT_EQ(target.count, c.emitted);
        EXPECT_NEAR(spawner.accumulator, c.kept, 1e-6f);
        for (const TextureParticle& p : live(target)) {
            EXPECT_EQ(p.size, 0.1f);
            EXPECT_EQ(p.alpha, 1.0f);
            EXPECT_EQ(p.x, 11.0f);
            EXPECT_EQ(p.y, 2.0f);
            EXPECT_EQ(p.z, -2.0f);
        }
    }
}

// A full target refuses the spawner's records; each refused record is freed at once instead
// of being left to nobody.
TEST(SavuParticleSpawner, RecordsAFullTargetRefusesAreFreed) {
    TextureParticleSystem target(3, nullptr);
    SavuParticleSpawner spawner;
    spawner.target = &target;
    const velmo::Matrix parent = velmo::identityMatrix();
    const size_t before = liveRecords;
    for (int tick = 0; tick < 20; ++tick) {
        spawner.update(&parent, 0.05f);
    }
    EXPECT_EQ(target.count, 3);
    EXPECT_EQ(liveRecords, before + 3) << "only the stored records are alive";
}

TEST(SavuParticleSpawner, WithoutATargetEmitsNothing) {
    SavuParticleSpawner spawner;
    const velmo::Matrix parent = velmo::identityMatrix();
    const size_t before = liveRecords;
    spawner.update(&parent, 0.05f);
    EXPECT_EQ(liveRecords, before);
    EXPECT_NEAR(spawner.accumulator, 0.01f, 1e-6f);
}

TEST(EmitParticle, FreesTheCopyWhenTheSystemIsFull) {
    TextureParticleSystem system(1, nullptr);
    const size_t before = liveRecords;
    EXPECT_EQ(emitParticle(system, TextureParticle(1, 1, 0, 0, 0)), 0);
    EXPECT_EQ(emitParticle(system, TextureParticle(2, 1, 0, 0, 0)), -1);
    EXPECT_EQ(liveRecords, before + 1);
    EXPECT_EQ(system.slots[0]->size, 1.0f);
}

// One particle through its life with a time step of 0.5 s: the alpha of each update comes
// from the age before that update's increment, and the update that takes the age past 8 s
// retires it.
TEST(SPSystem, ParticlesRiseGrowAndFadeForEightSecondsThenAreRetired) {
    Ef2::SPSystem system(10, nullptr);
    ASSERT_EQ(system.allocParticle(new TextureParticle(0.1f, 1.0f, 0, 0, 0)), 0);
    const velmo::Matrix parent = velmo::identityMatrix();
    const struct {
        int update; // 1-based
        float alpha;
        bool alive;
    } checks[] = {
        {1, 0.2f, true},                      // age 0
        {9, 0.05f, true},                     // age 4: 0.2 * 0.5^2
        {15, 0.2f * 0.125f * 0.125f, true},   // age 7
        {16, 0.2f * 0.0625f * 0.0625f, true}, // age 7.5, then exactly 8: not past it
        {17, 0.0f, false},                    // age 8, then 8.5: retired
    };
    int done = 0;
    for (const auto& c : checks) {
        SCOPED_TRACE(c.update);
        float alpha = -1.0f, y = -1.0f, size = -1.0f;
        while (done < c.update) {
            system.update(&parent, 0.5f);
            ++done;
            if (system.slots[0] != nullptr) {
                alpha = system.slots[0]->alpha;
                y = system.slots[0]->y;
                size = system.slots[0]->size;
            }
        }
        EXPECT_EQ(system.slots[0] != nullptr, c.alive);
        if (c.alive) {
            EXPECT_NEAR(alpha, c.alpha, 1e-7f);
            EXPECT_NEAR(y, 0.5f * float(c.update), 1e-5f);
            EXPECT_NEAR(size, 0.1f + 0.15f * float(c.update), 1e-5f);
        }
    }
    EXPECT_EQ(system.count, 0);
    EXPECT_EQ(system.ages[0], 0.0f);

    // The next particle that takes the slot starts at age 0 again.
    ASSERT_EQ(system.allocParticle(new TextureParticle(0.1f, 1.0f, 0, 0, 0)), 0);
    system.update(&parent, 0.5f);
    EXPECT_EQ(system.slots[0]->alpha, 0.2f);
    EXPECT_EQ(system.ages[0], 0.5f);
}

TEST(SPSystem, EachSlotAgesOnItsOwnAndEmptySlotsAreSkipped) {
    Ef2::SPSystem system(10, nullptr);
    const velmo::Matrix parent = velmo::identityMatrix();
    system.allocParticle(new TextureParticle(0, 1, 0, 0, 0));
    system.allocParticle(new TextureParticle(0, 1, 0, 0, 0));
    system.update(&parent, 2.0f);
    system.freeParticle(0);
    system.allocParticle(new TextureParticle(0, 1, 0, 0, 0)); // slot 0 again, age kept at 2
    system.allocParticle(new TextureParticle(0, 1, 0, 0, 0)); // slot 2, new
    system.update(&parent, 2.0f);
    ASSERT_EQ(system.ages.size(), 3u);
    EXPECT_EQ(system.ages[0], 4.0f); // the table belongs to the slot
    EXPECT_EQ(system.ages[1], 4.0f);
    EXPECT_EQ(system.ages[2], 2.0f);
    EXPECT_NEAR(system.slots[1]->alpha, 0.2f * 0.75f * 0.75f, 1e-7f);
    EXPECT_EQ(system.slots[2]->alpha, 0.2f);
}

// The smoke's offsets for particles in slot order, as the update draws them after seeding
// with 34939.
std::vector<velmo::Vec3> jitter(size_t particles, float dt) {
    demoSrand(34939);
    std::vector<velmo::Vec3> out;
    for (size_t i = 0; i < particles; ++i) {
        const float r1 = float((demoRand() % 20000) / 10000.0 - 1.0) * 0.5f;
        const float r2 = float((demoRand() % 20000) / 10000.0 - 1.0) * 0.5f;
        out.emplace_back(r1 * dt * 10.0f, r2 * dt * 10.0f, dt * 10.0f);
    }
    return out;
}

TEST(ParticleSystem2, TheJitterRepeatsEveryTickWhileTheGeneratorMovesOn) {
    ParticleSystem2 smoke(4000, nullptr);
    smoke.allocParticle(new TextureParticle(1.0f, 0.5f, 0, 0, 0));
    smoke.allocParticle(new TextureParticle(1.0f, 0.5f, 5, 5, 5));
    smoke.allocParticle(new TextureParticle(1.0f, 0.5f, -5, 0, 0));
    smoke.freeParticle(1); // an empty slot draws nothing
    const std::vector<velmo::Vec3> offsets = jitter(2, 0.05f);
    const velmo::Matrix parent = velmo::identityMatrix();

    // The generator's state after an update: seeded with the saved seed, which then takes the
    // next draw; the saved seed starts at 38483.
    unsigned saved = 38483;
    std::vector<int> nextDraws;
    for (int tick = 1; tick <= 3; ++tick) {
        SCOPED_TRACE(tick);
        const std::vector<TextureParticle> before = live(smoke);
        smoke.update(&parent, 0.05f);
        const std::vector<TextureParticle> after = live(smoke);
        ASSERT_EQ(after.size(), 2u);
        for (size_t i = 0; i < after.size(); ++i) {
            EXPECT_FLOAT_EQ(after[i].x - before[i].x, offsets[i].x);
            EXPECT_FLOAT_EQ(after[i].y - before[i].y, offsets[i].y);
            EXPECT_FLOAT_EQ(after[i].z - before[i].z, offsets[i].z);
            EXPECT_NEAR(after[i].alpha, before[i].alpha - 0.05f * 0.065f, 1e-7f);
            EXPECT_NEAR(after[i].size, before[i].size + 0.05f * 0.07f, 1e-7f);
        }
        const int next = demoRand();
        demoSrand(saved);
        saved = unsigned(demoRand());
        EXPECT_EQ(next, demoRand()) << "the draw after the saved seed's first";
        nextDraws.push_back(next);
        // Put the generator back where the update left it, as the next tick finds it.
        demoSrand(saved);
        demoRand();
    }
    EXPECT_NE(nextDraws[0], nextDraws[1]);
    EXPECT_NE(nextDraws[1], nextDraws[2]);
}

TEST(ParticleSystem2, ParticlesAreNeverRetiredAndFadeBelowZero) {
    ParticleSystem2 smoke(10, nullptr);
    smoke.allocParticle(new TextureParticle(1.0f, 0.01f, 0, 0, 0));
    const velmo::Matrix parent = velmo::identityMatrix();
    for (int i = 0; i < 100; ++i) {
        smoke.update(&parent, 0.05f);
    }
    ASSERT_EQ(smoke.count, 1);
    EXPECT_LT(smoke.slots[0]->alpha, 0.0f);
}

} // namespace
