#pragma once

#include <windows.h>

namespace lumafolio {

// The whole area, in screen coordinates, of the monitor the player starts on: the one under the
// pointer, where the user opened the program (the primary one when the pointer is nowhere).
// The show covers that monitor alone.
RECT StartMonitorArea();

}  // namespace lumafolio
