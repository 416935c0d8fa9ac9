#pragma once

#include <ctime>

namespace lumafolio {

// The effects' random numbers: the classic C run-time generator with 15-bit results
// (0..32767), the same on every platform, so that the table arithmetic written for that range
// (rand() * 57 / 32767) holds and a fixed seed gives the same frames everywhere.
// One process-wide sequence, used from the user-interface thread only.
int EffectRand();
void EffectSrand(unsigned seed);

// Reseeds from the processor clock, as the randomised transitions do at begin.
void EffectSrandFromClock();

// Where EffectSrandFromClock reads the clock; tests replace it to make those transitions
// repeatable. nullptr restores std::clock.
using EffectClock = std::clock_t (*)();
void SetEffectClock(EffectClock clock);

}  // namespace lumafolio
