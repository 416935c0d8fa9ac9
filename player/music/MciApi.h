#pragma once

#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

namespace lumafolio {

// The three calls through which the music devices speak to MCI. The player passes the system's
// own; tests pass functions that play a scripted device, so that every command the devices send
// can be seen and every answer chosen.
struct MciApi {
  MCIERROR(WINAPI* sendCommand)(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR block);
  BOOL(WINAPI* errorString)(MCIERROR error, LPSTR text, UINT length);
  void(WINAPI* debugOutput)(LPCSTR text);

  static MciApi System() { return {mciSendCommandA, mciGetErrorStringA, OutputDebugStringA}; }
};

}  // namespace lumafolio
