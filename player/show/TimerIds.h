#pragma once

#include <windows.h>

namespace lumafolio {

// The timers of the show, in one place so that no two parts pick the same id: the show timer
// paces timed films (500 ms before the first item, then each item's duration).
constexpr UINT_PTR kShowTimer = 11;

}  // namespace lumafolio
