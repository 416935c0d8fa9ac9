#include "player/shell/MessagePump.h"

#include <windows.h>

namespace lumafolio {

void PumpOneMessage() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace lumafolio
