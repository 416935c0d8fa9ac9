#include "stage/EffectRandom.h"

#include <cstdint>

namespace lumafolio {
namespace {

std::uint32_t randomState = 1;
EffectClock clockSource = nullptr;

}  // namespace

int EffectRand() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7fff);
}

void EffectSrand(unsigned seed) { randomState = seed; }

void EffectSrandFromClock() {
  const std::clock_t now = clockSource != nullptr ? clockSource() : std::clock();
  EffectSrand(static_cast<unsigned>(now));
}

void SetEffectClock(EffectClock clock) { clockSource = clock; }

}  // namespace lumafolio
