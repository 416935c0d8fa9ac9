#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/film/FilmDocument.h"

namespace lumafolio {

// A film as its author describes it in a small TOML file: the play settings and the film's
// defaults, then the items in play order, each naming its files by paths relative to the
// description. Every value is checked here, so that whatever reaches the film fits its
// fixed-width fields and the player's ranges; every mistake is reported, not just the first.
//
//   [film]
//   loop = true                  # default true
//   play_mode = "timed"          # "timed" (default) or "manual"
//   stage = "screen"             # "classic" (default: 800x600), "screen" or a size "1920x1080"
//   # Defaults for every item and caption; an item's or a caption's own value wins.
//   duration = 5                 # whole seconds on screen in timed mode (default 3)
//   transition = "fade"          # a name or an index 0..58; "random" (default "fade")
//   transition_seconds = 1.5     # or steps = 90: screen refreshes at 60 Hz (default 23 steps)
//   music = "music/theme.mid"    # starts with the first item and plays on (+ music_mode)
//   font = { face = "Arial", size = 24, bold = true }
//   colour = "gold"              # also color; and shadow, alignment, line_spacing
//
//   [[item]]
//   type = "picture"             # "picture" (default), "video" or "powerpoint"
//   file = "pictures/harbour.jpg"
//   duration = 5
//   transition = "push-left"
//   steps = 23                   # or transition_seconds = 0.4, not both
//   music = "music/theme.mid"    # a .mid or .wav file; or a CD track: 2 or "Track02.cda"
//   music_mode = "file"          # "keep" (default without music), "stop", "cd", "file"
//
//   [[item.caption]]
//   text = """Two lines
//   of text"""                   # or an array of lines
//   effect = "appear"            # a name or an index 0..27; "random"
//   left = 40
//   top = 480
//   colour = "#FFD700"           # "#RGB", "#RRGGBB" or a CSS colour name ("gold")
//   line_spacing = 100           # percent of the font's line height
//   alignment = "centre"         # "left", "centre" ("center"), "right"
//   shadow = true
//   font = { face = "Arial", size = "24pt", bold = true, italic = true, underline = true }
//
// A font's `size` is in points (24 or "24pt"), which become the LOGFONT's character height at
// 96 dots per inch: height = -round(points * 96 / 72); or in pixels ("32px"): height = -32.
// The LOGFONT's own fields stay available under their names for those who want them: height,
// width, escapement, orientation, weight, italic, underline, strike_out, charset,
// out_precision, clip_precision, quality, pitch_and_family; `size` and `height`, or `bold` and
// `weight`, together are a mistake. A caption's font starts from the film's and changes only
// the fields it gives.
//
// A video item names its film in `file`, its still in `poster` and, optionally, the picture that
// stays once it has played in `end_picture`. It is fitted to the stage as a picture of its
// frame size (read from an AVI file's headers), or of `image_width` x `image_height` when given.
//
// The stage is where the film plays: "classic" is the 800x600 stage every film has always played
// on, and a classic film is written as films always were; "screen" plays on a stage of the
// screen's size and "WIDTHxHEIGHT" (800x600 to 7680x4320) on one of that size, pictures fitted
// from their full resolution and captions growing with the stage. Players that know no stage
// play such a film on the classic stage.

// Every error is "DESCRIPTION:LINE: what is wrong"; one error holds every mistake found, one
// line each, in the order of the description's lines.
class DescriptionError : public std::runtime_error {
 public:
  explicit DescriptionError(const std::string& line) : std::runtime_error(line), lines_{line} {}
  explicit DescriptionError(std::vector<std::string> lines);

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// A file the description names: the path to open and where the description names it.
struct DescribedFile {
  std::string path;     // resolved against the description's folder
  std::string written;  // as the description writes it, for messages
  int line = 0;
};

struct DescribedCaption {
  Caption caption;  // texts already in the film's code page, "\r\n" between lines
  int line = 0;
};

struct DescribedItem {
  int line = 0;
  int32_t type = kItemPicture;
  DescribedFile file;
  std::optional<DescribedFile> poster;
  std::optional<DescribedFile> endPicture;
  int32_t imageWidth = 0;  // video items: the size to fit, when given; 0 otherwise
  int32_t imageHeight = 0;
  std::optional<DescribedFile> music;  // a music file stored in the film
  std::string cdTrack;                 // music mode "cd": the track's file name, stored as is
  int cdTrackLine = 0;
  int32_t durationSeconds = 3;
  int32_t transitionEffect = 23;  // fade
  int32_t transitionSteps = 23;
  int32_t musicMode = kMusicKeep;
  std::vector<DescribedCaption> captions;
};

struct FilmDescription {
  std::string path;  // as given, for messages
  bool loop = true;
  int32_t playMode = kPlayTimed;
  FilmStage stage;
  std::vector<DescribedItem> items;
};

// Reads and checks a description file, and that the files it names exist. Throws
// DescriptionError.
FilmDescription ReadDescription(const std::string& path);
// The same from text, for a description at `path` (whose folder anchors relative paths); the
// files it names are not looked at.
FilmDescription ParseDescription(const std::string& text, const std::string& path);

// "DESCRIPTION:LINE: message", the form of every description error.
std::string DescriptionMessage(const std::string& path, int line, const std::string& message);

// The player finds its media by searching its own program for the media marker text, so that
// text anywhere in the film file (a caption, a font face, a media name, a CD track) would end
// the search inside the film. Every text that goes into the film is checked with these.
bool HoldsMediaMarker(std::string_view text);
// "WHAT holds the text that marks ...", the error for `what` ("the font face").
std::string MediaMarkerMessage(const std::string& what);

}  // namespace lumafolio
