#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/music/MusicFileName.h"
#include "player/music/MciApi.h"
#include "player/music/MciDevices.h"

namespace lumafolio {

// The show's background music: one CD track (a ".cda" track file), a MIDI file or a wave file,
// started as an item comes on screen and left to run on across items. Music never loops: it
// plays once to its end and stays silent until an item asks for music again.
//
// While music plays, timer 911 on the owner window polls the open device: a CD is kept on its
// track, a MIDI or wave file that has ended is rewound and the timer stops (the device stays open
// until stopMusic or the next playFile). The timer's callback finds the controller through one
// process-wide pointer: there is one controller per process. Everything runs on the
// user-interface thread; nothing is ever shown to the user.
class MusicPlayer {
 public:
  static constexpr size_t kMaxPath = 512;

  explicit MusicPlayer(HWND owner, const MciApi& mci = MciApi::System());
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;
  // Sends nothing to MCI: call stopMusic first when music was started.
  ~MusicPlayer();

  // Starts the music that `fileName` (UTF-8, as every path of the player) names; true when it
  // started. A name without one of the
  // three extensions changes nothing. The CD track that is playing plays on when asked again; a
  // wave or MIDI file always starts again from its beginning.
  bool playFile(const std::string& fileName);
  // Stops the timer and closes the open device.
  void stopMusic();

  // One tick of the music timer.
  void OnTimer();

  MusicKind Kind() const { return kind_; }
  // The music timer's period while it runs, else 0.
  UINT TimerPeriod() const { return timerPeriod_; }

 private:
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
  bool PlayCdTrack(const std::string& fileName, const char* fullPath, const char* namePart);
  template <typename Device>
  bool PlayMusicFile(Device& device, MusicKind kind, const std::string& fileName, UINT period);
  void StartTimer(UINT period);
  void StopTimer();
  void Remember(const std::string& fileName);

  MusicKind kind_ = MusicKind::kNone;
  char currentFile_[kMaxPath] = {};
  HWND owner_;
  std::unique_ptr<CdAudioDevice> cd_;
  std::unique_ptr<WaveDevice> wave_;
  std::unique_ptr<MidiDevice> midi_;
  UINT timerPeriod_ = 0;
};

}  // namespace lumafolio
