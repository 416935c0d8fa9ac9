#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/filmtool/Description.h"

namespace lumafolio {

// A film made straight from a folder of photos: every picture in it, in order, each shown for
// the same time with the same transition. The play settings are the ones a slide show of
// holiday photos wants: timed, looping, 5 seconds a picture, fading over 60 steps (the player
// draws steps as fast as it can, so many steps make a smooth fade).
struct FolderOptions {
  bool byDate = false;   // order by Exif DateTimeOriginal instead of by name
  bool withPng = false;  // PNG files too (they need --convert)
  int32_t durationSeconds = 5;
  int32_t transitionEffect = 23;  // fade
  int32_t transitionSteps = 60;
  FilmStage stage;  // classic unless asked
};

// Name order as people read numbered files: runs of digits compare as numbers, so "img2"
// comes before "img10"; letters compare without case.
bool NaturalLess(const std::string& a, const std::string& b);

// The pictures of a folder (not its subfolders, nor hidden files) in film order: by name, or by
// the date the camera recorded, those without one following in the order of their files'
// modification times. Throws std::runtime_error when the folder cannot be read or holds none.
std::vector<std::filesystem::path> ListPhotos(const std::filesystem::path& folder,
                                              const FolderOptions& options);

// The description a folder build uses; `path` is the folder, and items name their files
// as the folder and the file's name.
FilmDescription DescribeFolder(const std::string& folder, const FolderOptions& options);

// Writes that description as a TOML file, naming the pictures relative to its own folder, so
// that building it gives the same film. Refuses an existing file unless `overwrite`.
void WriteFolderDescription(const std::string& folder, const std::string& output,
                            const FolderOptions& options, bool overwrite, std::ostream& log);

}  // namespace lumafolio
