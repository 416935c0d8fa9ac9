#include "player/win32/MonitorArea.h"

namespace lumafolio {

RECT StartMonitorArea() {
  POINT pointer{0, 0};
  GetCursorPos(&pointer);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  const HMONITOR monitor = MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY);
  if (monitor != nullptr && GetMonitorInfoA(monitor, &info)) return info.rcMonitor;
  return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace lumafolio
