#include "core/effects/EffectRandom.h"

#include <cstdint>

namespace lumafolio {
namespace {

constexpr std::uint32_t kMultiplier = 214013u;
constexpr std::uint32_t kIncrement = 2531011u;

std::uint32_t randomState = 1;
EffectClock clockSource = nullptr;

// Lanes of EffectRandFill: lane j holds the state for result i + j, and one step of kLanes
// results moves every lane on by kLanes states at once (state * a^kLanes + the matching
// increment), so the lanes do not wait on one another.
constexpr std::size_t kLanes = 8;

struct Jump {
  std::uint32_t multiplier;
  std::uint32_t increment;
};

constexpr Jump JumpAhead(std::size_t steps) {
  Jump jump{1u, 0u};
  for (std::size_t i = 0; i < steps; ++i) {
    jump.multiplier *= kMultiplier;
    jump.increment = jump.increment * kMultiplier + kIncrement;
  }
  return jump;
}

constexpr Jump kLaneJump = JumpAhead(kLanes);

inline std::uint32_t Next(std::uint32_t state) { return state * kMultiplier + kIncrement; }
inline int Result(std::uint32_t state) { return static_cast<int>((state >> 16) & 0x7fff); }

}  // namespace

int EffectRand() {
  randomState = Next(randomState);
  return Result(randomState);
}

void EffectRandFill(int* out, std::size_t count) {
  std::uint32_t state = randomState;
  std::size_t i = 0;
  if (count >= kLanes) {
    std::uint32_t lanes[kLanes];
    for (std::size_t j = 0; j < kLanes; ++j) lanes[j] = state = Next(state);
    for (; i + kLanes <= count; i += kLanes) {
      state = lanes[kLanes - 1];
      for (std::size_t j = 0; j < kLanes; ++j) {
        out[i + j] = Result(lanes[j]);
        lanes[j] = lanes[j] * kLaneJump.multiplier + kLaneJump.increment;
      }
    }
  }
  for (; i < count; ++i) {
    state = Next(state);
    out[i] = Result(state);
  }
  randomState = state;
}

void EffectSrand(unsigned seed) { randomState = seed; }

void EffectSrandFromClock() {
  const std::clock_t now = clockSource != nullptr ? clockSource() : std::clock();
  EffectSrand(static_cast<unsigned>(now));
}

void SetEffectClock(EffectClock clock) { clockSource = clock; }

}  // namespace lumafolio
