#pragma once

#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

#include <set>
#include <string>
#include <vector>

#include "player/music/MciApi.h"

namespace lumafolio {

// An MCI that plays one scripted device and writes down every command it is sent, one line
// each ("open 0x3302 type=516 element=D:", "play from 3", "status mode", ...). Commands move
// the scripted disc or file the way a device would: a play from a track puts the position there
// and plays, a stop stops. Tests then move it on (a track ends, the disc is taken out) by
// changing the fields.
class ScriptedMci {
 public:
  static constexpr MCIDEVICEID kDeviceId = 7;

  ScriptedMci();
  ~ScriptedMci();
  MciApi Api() const;

  // The commands sent since the last call.
  std::vector<std::string> Take();

  DWORD tracks = 10;
  DWORD mode = MCI_MODE_STOP;
  int positionTrack = 1;
  std::set<UINT> failing;  // commands (MCI_OPEN, MCI_PLAY, ...) that fail
  static constexpr MCIERROR kFailure = MCIERR_HARDWARE;
  bool knowsErrorText = true;  // whether the error string call succeeds
  std::vector<std::string> debugOutput;

 private:
  static MCIERROR WINAPI Send(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR block);
  static BOOL WINAPI ErrorString(MCIERROR error, LPSTR text, UINT length);
  static void WINAPI DebugOutput(LPCSTR text);
  MCIERROR Handle(MCIDEVICEID device, UINT message, DWORD flags, DWORD_PTR block);

  std::vector<std::string> log_;
  bool open_ = false;
};

}  // namespace lumafolio
