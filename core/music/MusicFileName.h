#pragma once

#include <string_view>

namespace lumafolio {

// What a music file name asks the player to play, by its extension. The values are those the
// music controller keeps as the kind of device it has open (0 when nothing is).
enum class MusicKind { kNone = 0, kCdAudio = 1, kWave = 2, kMidi = 3 };

// The kind named by the text from the last dot on, ignoring case: ".CDA", ".WAV" or ".MID".
// kNone for a name without a dot or with any other extension ("song.mid.wav" is wave).
MusicKind MusicKindOf(std::string_view name);

// The track a CD track file names: a decimal number read as strtol reads it from the sixth
// character of the file-name part ("Track07.cda" gives 7; the first five characters are skipped
// whatever they are). 0 when the part is too short or the number is not a track of an audio CD
// (1 to 99).
int CdTrackNumber(std::string_view fileNamePart);

// The drive index of a full path, 0 for A: to 25 for Z:, from its first character minus 'A'. A
// lower-case letter gives an index past 25 that formats back to the same letter ('A' + index),
// which is how the path spelt it. -1 when the path does not start with a letter (a network path,
// say), where no CD drive can be.
int DriveIndex(std::string_view fullPath);

}  // namespace lumafolio
