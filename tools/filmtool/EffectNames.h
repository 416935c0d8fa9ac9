#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/effects/EffectTable.h"

namespace lumafolio {

// Readable names for the two effect tables of the player, for film descriptions and listings,
// taken from the tables themselves (core/effects/EffectTable.h).

constexpr int kTransitionCount = kTransitionRecordCount;  // indexes 0..58; 58 picks at random
constexpr int kRandomTransition = kRandomTransitionIndex;
constexpr int kCaptionEffectCount = kCaptionEffectRecordCount;  // 0..27; 27 picks at random
constexpr int kRandomCaptionEffect = kRandomCaptionEffectIndex;

// The name of a table index, or nullptr when the index is outside the table.
const char* TransitionName(int index);
const char* CaptionEffectName(int index);

// The index of a name (ASCII letters compared without case), or nothing.
std::optional<int> TransitionFromName(std::string_view name);
std::optional<int> CaptionEffectFromName(std::string_view name);

// Every transition, one line each: its name, its index and what it does.
std::string TransitionListing();
std::string CaptionEffectListing();

}  // namespace lumafolio
