#pragma once

#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

#include <cstdint>

#include "player/music/MciApi.h"

namespace lumafolio {

// An audio CD in a CD-ROM drive, played by track through MCI. No command asks for notification:
// the state of the disc is learnt by polling (poll, every 500 ms while music plays), which also
// notices when the disc has played on past the wanted track. The device is opened shareable, so
// a disc that another program is playing is taken over as it plays.
//
// The parameter blocks live in the object and are reused by every command; the device ID that
// MCI_OPEN writes into the open block addresses all later commands. Every operation but open
// fails at once, sending nothing, while the device is closed. Failed commands (all but the status
// queries and the time format) are reported to the debug output only.
class CdAudioDevice {
 public:
  enum State : uint32_t { kPlaying = 0, kStopped = 1, kPaused = 2, kNotReady = 3 };
  static constexpr int kPlayListSize = 131;

  explicit CdAudioDevice(const MciApi& mci) : mci_(mci) {}
  CdAudioDevice(const CdAudioDevice&) = delete;
  CdAudioDevice& operator=(const CdAudioDevice&) = delete;

  // Opens the drive with index `drive` (0 = A:, 3 = D:); index 0 opens the system's default CD
  // audio device. Then reads the disc (refresh).
  bool open(int drive);
  // Reads the tracks and what the disc is doing: a stopped disc waits at the start of track 1; a
  // playing one keeps playing, its track the current entry.
  bool refresh();
  // Plays `track` alone. A disc already playing that track plays on without a break.
  bool playTrack(int track);
  // Brings the state up to date; moves on (or stops, parked at the list's first track) when the
  // disc has left the wanted track.
  bool poll();
  // Stops the disc and parks it at the start of the list's first track.
  bool stop();
  bool close();
  bool toggleTray();
  // To the start of `track`: played from there when the disc is playing, else a seek.
  bool goToTrack(int track);
  // Plays the current entry's track, or continues a paused disc.
  bool play();
  // The track of the next play-list entry, or 0 when the list is used up (it never restarts).
  int nextEntry();

  bool IsOpen() const { return isOpen_ != FALSE; }
  State state() const { return state_; }
  int CurrentEntry() const { return currentEntry_; }
  int EntryCount() const { return entryCount_; }
  MCIERROR LastError() const { return lastError_; }

 private:
  MCIERROR Send(UINT message, DWORD flags, void* block);
  // Sends and reports a failure to the debug output.
  bool SendReported(UINT message, DWORD flags, void* block);
  void Report(MCIERROR error) const;
  DWORD_PTR Status(DWORD item);
  void ClearPlayList();
  void AppendEntry(int track);
  void SetCurrentEntry(int entry);
  int CurrentTrack() const;

  MciApi mci_;
  MCI_GENERIC_PARMS generic_{};
  MCI_OPEN_PARMSA open_{};
  MCI_SET_PARMS set_{};
  MCI_STATUS_PARMS status_{};
  MCI_PLAY_PARMS play_{};
  MCI_SEEK_PARMS seek_{};
  BOOL isOpen_ = FALSE;
  MCIERROR lastError_ = 0;
  State state_ = kStopped;
  uint8_t playList_[kPlayListSize + 1]{};  // entries are numbered from 1
  int32_t currentEntry_ = 0;
  int32_t entryCount_ = 0;
  char driveName_[4]{};  // "D:", the element name of the open block
};

// What status() of a file device answers.
enum class FileDeviceStatus {
  kPlaying = 2,
  kNeverPlayed = 3,  // stopped, and not by running to its end
  kPaused = 4,
  kUnknown = 5,  // the query failed, or any mode but stop, play and pause
  kEnded = 6,    // stopped after play: the file ran to its end
};

// One music file played through MCI: the twin devices for MIDI and wave files, which differ only
// in their open block and device type. Opened positioned at its start; played once to its end.
// Failures show only in results and in LastError: nothing is reported.
template <typename OpenBlock>
class MciFileDevice {
 public:
  MciFileDevice(const MciApi& mci, UINT deviceType, DWORD openFlags)
      : mci_(mci), deviceType_(deviceType), openFlags_(openFlags) {}
  MciFileDevice(const MciFileDevice&) = delete;
  MciFileDevice& operator=(const MciFileDevice&) = delete;

  // Opens `fileName` (the pointer goes to MCI as it is) and puts it at its start.
  bool open(const char* fileName);
  bool close();
  bool play();
  bool rewind();
  // Asked of MCI even while closed (it then fails: kUnknown).
  FileDeviceStatus status();

  bool IsOpen() const { return isOpen_ != FALSE; }
  MCIERROR LastError() const { return lastError_; }

 private:
  enum LastCommand : uint32_t { kInitial = 1, kPlayed = 2, kClosed = 3 };

  MCIERROR Send(UINT message, DWORD flags, void* block);

  MciApi mci_;
  UINT deviceType_;
  DWORD openFlags_;
  MCI_GENERIC_PARMS generic_{};
  OpenBlock open_{};
  MCI_SET_PARMS set_{};
  MCI_STATUS_PARMS status_{};
  MCI_PLAY_PARMS play_{};
  MCI_SEEK_PARMS seek_{};
  MCIERROR lastError_ = 0;
  LastCommand lastCommand_ = kInitial;
  BOOL isOpen_ = FALSE;
};

// A MIDI file on the sequencer.
class MidiDevice : public MciFileDevice<MCI_OPEN_PARMSA> {
 public:
  explicit MidiDevice(const MciApi& mci)
      : MciFileDevice(mci, MCI_DEVTYPE_SEQUENCER,
                      MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT) {}
};

// A wave file on the waveform-audio device, with a four-second buffer.
class WaveDevice : public MciFileDevice<MCI_WAVE_OPEN_PARMSA> {
 public:
  explicit WaveDevice(const MciApi& mci)
      : MciFileDevice(mci, MCI_DEVTYPE_WAVEFORM_AUDIO,
                      MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_WAVE_OPEN_BUFFER) {}
};

extern template class MciFileDevice<MCI_OPEN_PARMSA>;
extern template class MciFileDevice<MCI_WAVE_OPEN_PARMSA>;

}  // namespace lumafolio
