#include "ScriptedMci.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace lumafolio {
namespace {

ScriptedMci* scripted = nullptr;  // the seam's functions carry no pointer of their own

std::string Hex(DWORD flags) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(flags));
  return text;
}

}  // namespace

ScriptedMci::ScriptedMci() { scripted = this; }
ScriptedMci::~ScriptedMci() { scripted = nullptr; }

MciApi ScriptedMci::Api() const { return {Send, ErrorString, DebugOutput}; }

std::vector<std::string> ScriptedMci::Take() { return std::exchange(log_, {}); }

MCIERROR WINAPI ScriptedMci::Send(MCIDEVICEID device, UINT message, DWORD_PTR flags,
                                  DWORD_PTR block) {
  return scripted->Handle(device, message, static_cast<DWORD>(flags), block);
}

BOOL WINAPI ScriptedMci::ErrorString(MCIERROR error, LPSTR text, UINT length) {
  if (!scripted->knowsErrorText) return FALSE;
  std::snprintf(text, length, "error %lu", static_cast<unsigned long>(error));
  return TRUE;
}

void WINAPI ScriptedMci::DebugOutput(LPCSTR text) { scripted->debugOutput.emplace_back(text); }

MCIERROR ScriptedMci::Handle(MCIDEVICEID device, UINT message, DWORD flags, DWORD_PTR block) {
  std::string line;
  if (message == MCI_OPEN) {
    const auto* open = reinterpret_cast<const MCI_OPEN_PARMSA*>(block);
    line = "open " + Hex(flags) +
           " type=" + std::to_string(reinterpret_cast<DWORD_PTR>(open->lpstrDeviceType));
    if (flags & MCI_OPEN_ELEMENT) line += std::string(" element=") + open->lpstrElementName;
    if (flags & MCI_WAVE_OPEN_BUFFER) {
      line += " buffer=" +
              std::to_string(reinterpret_cast<const MCI_WAVE_OPEN_PARMSA*>(block)->dwBufferSeconds);
    }
    log_.push_back(line);
    if (device != 0) return MCIERR_INVALID_DEVICE_ID;
    if (failing.count(MCI_OPEN)) return kFailure;
    reinterpret_cast<MCI_OPEN_PARMSA*>(block)->wDeviceID = kDeviceId;
    open_ = true;
    return 0;
  }

  MCIERROR result = 0;
  switch (message) {
    case MCI_STATUS: {
      auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(block);
      static const char* const kItems[] = {"?", "?", "position", "tracks", "mode"};
      line = std::string("status ") + (status->dwItem <= 4 ? kItems[status->dwItem] : "?");
      if (flags != MCI_STATUS_ITEM) line += " " + Hex(flags);
      if (!failing.count(MCI_STATUS) && device == kDeviceId && open_) {
        status->dwReturn = status->dwItem == MCI_STATUS_MODE ? mode
                           : status->dwItem == MCI_STATUS_POSITION
                               ? MCI_MAKE_TMSF(positionTrack, 0, 0, 0)
                               : tracks;
      } else {
        result = kFailure;
      }
      break;
    }
    case MCI_SET: {
      const auto* set = reinterpret_cast<const MCI_SET_PARMS*>(block);
      line = "set " + Hex(flags);
      if (flags & MCI_SET_TIME_FORMAT) line += " format=" + std::to_string(set->dwTimeFormat);
      break;
    }
    case MCI_PLAY: {
      const auto* play = reinterpret_cast<const MCI_PLAY_PARMS*>(block);
      line = "play";
      if (flags & MCI_FROM) line += " from " + std::to_string(MCI_TMSF_TRACK(play->dwFrom));
      if (flags & ~MCI_FROM) line += " " + Hex(flags);
      if (!failing.count(MCI_PLAY)) {
        if (flags & MCI_FROM) positionTrack = MCI_TMSF_TRACK(play->dwFrom);
        mode = MCI_MODE_PLAY;
      }
      break;
    }
    case MCI_SEEK: {
      const auto* seek = reinterpret_cast<const MCI_SEEK_PARMS*>(block);
      line = flags == MCI_TO              ? "seek to " + std::to_string(MCI_TMSF_TRACK(seek->dwTo))
             : flags == MCI_SEEK_TO_START ? "seek start"
                                          : "seek " + Hex(flags);
      if (flags == MCI_TO) positionTrack = MCI_TMSF_TRACK(seek->dwTo);
      if (mode == MCI_MODE_PLAY) mode = MCI_MODE_STOP;
      break;
    }
    case MCI_STOP:
      line = "stop " + Hex(flags);
      if (!failing.count(MCI_STOP)) mode = MCI_MODE_STOP;
      break;
    case MCI_CLOSE:
      line = "close " + Hex(flags);
      open_ = false;
      break;
    default:
      line = "command " + Hex(message);
      break;
  }
  log_.push_back(line);
  if (device != kDeviceId) return MCIERR_INVALID_DEVICE_ID;
  if (result == 0 && failing.count(message)) result = kFailure;
  return result;
}

}  // namespace lumafolio
