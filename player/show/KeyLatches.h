#pragma once

#include <windows.h>

namespace lumafolio {

// The input that cuts a transition or caption animation short: Escape and a double-click always,
// Page Up and Page Down in manual mode. Each key is asked whether it was pressed since it was
// last asked, so input from before must be cleared once (Clear) or it would cut the next
// transition short. The input's own message still arrives afterwards and does its usual work
// (ending the show, stepping on).
class KeyLatches {
 public:
  explicit KeyLatches(bool manualMode) : manual_(manualMode) {}

  void Clear();
  bool CutShort();

 private:
  // Two presses of the primary button within the double-click time make a double-click. The
  // button is polled because its messages wait in the queue while a step draws.
  bool DoubleClicked();

  bool manual_;
  bool pressed_ = false;
  DWORD pressedAt_ = 0;
};

}  // namespace lumafolio
