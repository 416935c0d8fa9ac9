#include "tools/filmtool/EffectNames.h"

#include <array>

namespace lumafolio {
namespace {

// By table index. The "-strips" forms cut the picture into eight vertical strips that move up
// and down in turn, the "-bands" forms into eight horizontal bands that move left and right.
constexpr std::array<const char*, kTransitionCount> kTransitions = {
    "push-strips",      // 0
    "push-bands",       // 1
    "slide-strips",     // 2
    "slide-bands",      // 3
    "wipe-strips",      // 4
    "wipe-bands",       // 5
    "burn",             // 6
    "curl-quad",        // 7
    "curl-soft-quad",   // 8
    "clock",            // 9
    "shatter",          // 10
    "shatter-4",        // 11
    "shatter-8",        // 12
    "shatter-20",       // 13
    "flash",            // 14
    "blocks-4",         // 15
    "blocks-8",         // 16
    "blocks-20",        // 17
    "doors",            // 18
    "stretch-down",     // 19
    "stretch-up",       // 20
    "stretch-right",    // 21
    "stretch-left",     // 22
    "fade",             // 23
    "cut",              // 24
    "curl",             // 25
    "fold",             // 26
    "curl-soft",        // 27
    "fan",              // 28
    "push-up",          // 29
    "push-down",        // 30
    "push-left",        // 31
    "push-right",       // 32
    "scatter",          // 33
    "blinds-up",        // 34
    "blinds-down",      // 35
    "blinds-left",      // 36
    "blinds-right",     // 37
    "slide-up",         // 38
    "slide-down",       // 39
    "slide-left",       // 40
    "slide-right",      // 41
    "flip-vertical",    // 42
    "flip-horizontal",  // 43
    "flap",             // 44
    "swing-top",        // 45: hinged at the top edge
    "swing-bottom",     // 46
    "swing-left",       // 47
    "swing-right",      // 48
    "implode",          // 49
    "swap",             // 50
    "roll-horizontal",  // 51
    "roll-vertical",    // 52
    "drip",             // 53
    "wipe-up",          // 54
    "wipe-down",        // 55
    "wipe-left",        // 56
    "wipe-right",       // 57
    "random",           // 58
};

// "letters-" cascades bring the characters in one by one in a scrambled order, "lines-" cascades
// one line after the other.
constexpr std::array<const char*, kCaptionEffectCount> kCaptionEffects = {
    "sweep-up",        // 0
    "sweep-down",      // 1
    "sweep-left",      // 2
    "sweep-right",     // 3
    "box",             // 4: opens from the centre
    "iris",            // 5
    "scatter",         // 6
    "lines-up",        // 7
    "lines-down",      // 8
    "lines-left",      // 9
    "lines-right",     // 10
    "appear",          // 11
    "letters-up",      // 12
    "letters-down",    // 13
    "letters-left",    // 14
    "letters-right",   // 15
    "box-horizontal",  // 16: a full-height band widening from the centre
    "box-vertical",    // 17: a full-width band growing up and down from the centre
    "whirl",           // 18
    "slide-up",        // 19
    "slide-down",      // 20
    "slide-left",      // 21
    "slide-right",     // 22
    "wipe-up",         // 23
    "wipe-down",       // 24
    "wipe-left",       // 25
    "wipe-right",      // 26
    "random",          // 27
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

template <size_t N>
std::optional<int> Find(const std::array<const char*, N>& table, std::string_view name) {
  for (size_t i = 0; i < N; ++i) {
    if (SameName(table[i], name)) return static_cast<int>(i);
  }
  return std::nullopt;
}

}  // namespace

const char* TransitionName(int index) {
  return index >= 0 && index < kTransitionCount ? kTransitions[index] : nullptr;
}

const char* CaptionEffectName(int index) {
  return index >= 0 && index < kCaptionEffectCount ? kCaptionEffects[index] : nullptr;
}

std::optional<int> TransitionFromName(std::string_view name) { return Find(kTransitions, name); }

std::optional<int> CaptionEffectFromName(std::string_view name) {
  return Find(kCaptionEffects, name);
}

}  // namespace lumafolio
