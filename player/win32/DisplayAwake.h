#pragma once

#include <windows.h>

namespace lumafolio {

// Keeps the display on and the screen saver off for as long as it lives: a manual show may rest
// on one picture for an hour without a key being pressed. The request belongs to the thread that
// made it, so the owner must be made and dropped on the same thread.
class DisplayAwake {
 public:
  DisplayAwake() { SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED); }
  DisplayAwake(const DisplayAwake&) = delete;
  DisplayAwake& operator=(const DisplayAwake&) = delete;
  ~DisplayAwake() { SetThreadExecutionState(ES_CONTINUOUS); }
};

}  // namespace lumafolio
