#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/effects/EffectEdges.h"
#include "core/effects/EffectParams.h"

namespace lumafolio {

// One row of an effect table as built into the program, with everything that names the effect:
// the library copies its routine and parameters into a record, filmtool and the tests take its
// name and summary from here, so no list elsewhere has to be kept in step with the table.
template <typename Routine>
struct EffectEntry {
  std::int32_t index;      // the row's position, which is what a film stores
  std::int32_t id;         // the effect's number; it names the effect, records go by index
  Routine routine;         // nullptr in the random row, which the library fills
  std::int16_t direction;  // EffectEdge bits, or 0 where the family has no direction
  std::int32_t variant;    // strip count, cell size or style, by family
  const char* name;        // what a user types: lower case, unique in its table
  const char* summary;     // one line for listings
};

using TransitionEntry = EffectEntry<TransitionRoutine>;
using CaptionEffectEntry = EffectEntry<CaptionRoutine>;

// Both tables end with their random row.
constexpr int kTransitionRecordCount = 59;
constexpr int kRandomTransitionIndex = kTransitionRecordCount - 1;
constexpr int kCutTransitionIndex = 24;
constexpr int kCaptionEffectRecordCount = 28;
constexpr int kRandomCaptionEffectIndex = kCaptionEffectRecordCount - 1;

std::span<const TransitionEntry, kTransitionRecordCount> TransitionTable();
std::span<const CaptionEffectEntry, kCaptionEffectRecordCount> CaptionEffectTable();

// Whether every row's index is its position: a row moved without its index would silently
// renumber the effects stored in films.
template <typename Entry, std::size_t N>
constexpr bool IndexesMatchPositions(const Entry (&rows)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (rows[i].index != static_cast<std::int32_t>(i)) return false;
  }
  return true;
}

}  // namespace lumafolio
