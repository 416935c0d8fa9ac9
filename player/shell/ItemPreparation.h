#pragma once

#include <cstdint>
#include <string>

#include "core/film/FilmDocument.h"

namespace lumafolio {

// What item preparation asks of the machine and shows to the user. The player answers with the
// system (SystemPreparationHost); tests answer with their own machine.
class PreparationHost {
 public:
  virtual ~PreparationHost() = default;
  virtual bool IsVideoPlaybackAvailable() = 0;
  virtual bool IsPptViewerInstalled() = 0;
  virtual unsigned DriveType(const char* root) = 0;  // as GetDriveTypeA
  virtual bool ReadFilm(FilmDocument& film, const std::string& filmPath) = 0;
  virtual void OpenProgress() = 0;
  virtual void SetProgress(float fraction) = 0;
  virtual void CloseProgress() = 0;
  virtual void ShowMessage(const char* text) = 0;
};

// Paths in UTF-8, as every path of the player.
struct PreparationPaths {
  std::string program;     // the player file, source of every extraction
  std::string film;        // the extracted film file
  std::string tempFolder;  // ends with a separator
  int64_t mediaStart = 0;  // the first byte after the media marker
};

// Reads the film and turns every item's size-coded names into what the show opens directly:
// the offset of a JPEG inside the program file, or a file extracted into the temporary folder,
// or a track on the first CD-ROM drive. The paths it writes into items are UTF-8; the film's own
// texts, in the ANSI code page, are converted as they become paths. Items the machine cannot play
// are removed and the user is told once per kind. True when the show can start (the film may then
// be empty).
bool PrepareItems(PreparationHost& host, FilmDocument& film, const PreparationPaths& paths);

}  // namespace lumafolio
