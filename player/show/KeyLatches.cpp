#include "player/show/KeyLatches.h"

namespace lumafolio {
namespace {

bool PressedSinceAsked(int key) { return (GetAsyncKeyState(key) & 1) != 0; }

// The primary button is the right one when the user has swapped them.
int PrimaryButton() { return GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON; }

}  // namespace

void KeyLatches::Clear() {
  PressedSinceAsked(VK_ESCAPE);
  PressedSinceAsked(PrimaryButton());
  pressed_ = false;
  if (manual_) {
    PressedSinceAsked(VK_PRIOR);
    PressedSinceAsked(VK_NEXT);
  }
}

bool KeyLatches::DoubleClicked() {
  if (!PressedSinceAsked(PrimaryButton())) return false;
  const DWORD now = GetTickCount();
  if (pressed_ && now - pressedAt_ <= GetDoubleClickTime()) return true;
  pressed_ = true;
  pressedAt_ = now;
  return false;
}

bool KeyLatches::CutShort() {
  if (PressedSinceAsked(VK_ESCAPE) || DoubleClicked()) return true;
  return manual_ && (PressedSinceAsked(VK_PRIOR) || PressedSinceAsked(VK_NEXT));
}

}  // namespace lumafolio
