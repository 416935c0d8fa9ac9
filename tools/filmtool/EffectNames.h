#pragma once

#include <optional>
#include <string_view>

namespace lumafolio {

// Readable names for the two effect tables of the player, for film descriptions and listings.
// Directional names tell where the new picture (or the text) moves: "push-left" lets the new
// picture enter at the right edge and push the old one out to the left.

constexpr int kTransitionCount = 59;  // indexes 0..58; 58 picks one at random
constexpr int kRandomTransition = 58;
constexpr int kCaptionEffectCount = 28;  // indexes 0..27; 27 picks one at random
constexpr int kRandomCaptionEffect = 27;

// The name of a table index, or nullptr when the index is outside the table.
const char* TransitionName(int index);
const char* CaptionEffectName(int index);

// The index of a name (ASCII letters compared without case), or nothing.
std::optional<int> TransitionFromName(std::string_view name);
std::optional<int> CaptionEffectFromName(std::string_view name);

}  // namespace lumafolio
