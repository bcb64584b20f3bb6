#include "demo/random.h"

#include <cstdint>

namespace {

// The generator's state, shared by the whole demo; 1 until the first seed.
uint32_t randomState = 1;

} // namespace

int demoRand() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7fffu);
}

void demoSrand(unsigned seed) {
    randomState = seed;
}

float demoRandomDraw() {
    return static_cast<float>((demoRand() % 20000) / 10000.0 - 1.0);
}
