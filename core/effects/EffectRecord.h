#pragma once

#include <cstdint>

#include "core/effects/EffectParams.h"

namespace lumafolio {

// One row of an effect table: a routine bound to its two parameters. Records are selected by
// index; the id only names the effect.
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

constexpr int kTransitionRecordCount = 59;
constexpr int kRandomTransitionIndex = 58;
constexpr int kCutTransitionIndex = 24;
constexpr int kCaptionEffectRecordCount = 28;
constexpr int kRandomCaptionEffectIndex = 27;

// The tables as built into the program, random records empty.
const TransitionRecord* TransitionTableRows();        // kTransitionRecordCount rows
const CaptionEffectRecord* CaptionEffectTableRows();  // kCaptionEffectRecordCount rows

}  // namespace lumafolio
