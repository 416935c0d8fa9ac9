#pragma once

#include <windows.h>

namespace lumafolio {

// The timers of the show, in one place so that no two parts pick the same id: the show timer
// paces timed films (500 ms before the first item, then each item's duration); the video timer
// looks for the end of the video on screen twice a second; the music timer polls the device that
// plays the background music.
constexpr UINT_PTR kShowTimer = 11;
constexpr UINT_PTR kVideoTimer = 12;
constexpr UINT kVideoPollMs = 500;
constexpr UINT_PTR kMusicTimer = 911;

}  // namespace lumafolio
