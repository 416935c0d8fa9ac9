#pragma once

#include <cstdint>

#include "core/effects/EffectParams.h"
#include "core/effects/EffectTable.h"

namespace lumafolio {

// A library's working copy of one table row: a routine bound to its two parameters, and whether
// it runs. The random record borrows routine and parameters of another row; the id stays its own.
template <typename Routine>
struct EffectRecord {
  std::int32_t id = 0;
  Routine routine = nullptr;
  std::int16_t direction = 0;
  std::int32_t variant = 0;
  bool active = false;  // between a begin that found it idle and the matching end
};

using TransitionRecord = EffectRecord<TransitionRoutine>;
using CaptionEffectRecord = EffectRecord<CaptionRoutine>;

}  // namespace lumafolio
