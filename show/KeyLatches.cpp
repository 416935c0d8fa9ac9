#include "show/KeyLatches.h"

#include <windows.h>

namespace lumafolio {
namespace {

bool PressedSinceAsked(int key) { return (GetAsyncKeyState(key) & 1) != 0; }

}  // namespace

void KeyLatches::Clear() const {
  PressedSinceAsked(VK_ESCAPE);
  if (manual_) {
    PressedSinceAsked(VK_PRIOR);
    PressedSinceAsked(VK_NEXT);
  }
}

bool KeyLatches::CutShort() const {
  if (PressedSinceAsked(VK_ESCAPE)) return true;
  return manual_ && (PressedSinceAsked(VK_PRIOR) || PressedSinceAsked(VK_NEXT));
}

}  // namespace lumafolio
