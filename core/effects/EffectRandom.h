#pragma once

#include <cstddef>
#include <ctime>

namespace lumafolio {

// The effects' random numbers: the classic C run-time generator with 15-bit results
// (0..32767), the same on every platform, so that the table arithmetic written for that range
// (rand() * 57 / 32767) holds and a fixed seed gives the same frames everywhere.
// One process-wide sequence, used from the user-interface thread only.
int EffectRand();
void EffectSrand(unsigned seed);

// Writes the next `count` results of EffectRand to `out`, exactly as that many calls would,
// and leaves the generator where they would. Effects that need tens of thousands of draws a
// step use it: it keeps the state in registers and runs several steps of the sequence side by
// side instead of one long chain of dependent multiplications.
void EffectRandFill(int* out, std::size_t count);

// Reseeds from the processor clock, as the randomised transitions do at begin.
void EffectSrandFromClock();

// Where EffectSrandFromClock reads the clock; tests replace it to make those transitions
// repeatable. nullptr restores std::clock.
using EffectClock = std::clock_t (*)();
void SetEffectClock(EffectClock clock);

}  // namespace lumafolio
