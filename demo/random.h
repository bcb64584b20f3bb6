// The demo's one pseudo-random generator. Every random position, angle, scale and choice of
// the production is drawn from it in a fixed order, so it behaves exactly like the classic
// C runtime generator: state = state * 214013 + 2531011 (modulo 2^32), each draw returning
// (state >> 16) & 0x7fff, the state starting at 1.
#pragma once

// The next value of the generator, in [0, 32767].
int demoRand();
// Restarts the sequence from seed.
void demoSrand(unsigned seed);
// One draw scaled to [-1, 1) in steps of 0.0001: (demoRand() mod 20000) / 10000 - 1, computed in
// double precision and rounded to float.
float demoRandomDraw();
