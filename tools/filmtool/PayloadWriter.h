#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace lumafolio {

// One file of the media part of a payload, held in memory (pictures, which may have been
// rewritten) or copied from disk when written (videos and music can be large).
struct PayloadFile {
  std::string name;  // its size-coded name in the film
  std::vector<uint8_t> bytes;
  std::filesystem::path path;  // used when `bytes` is empty
  int64_t size = 0;
};

// Whether the bytes hold the text anywhere.
bool ContainsText(std::span<const uint8_t> bytes, std::span<const char> text);

// Throws std::runtime_error unless `player` is a bare player: a Windows program (an "MZ" header
// leading to a "PE" header) that holds neither marker text. Build checks this before its long
// work; WritePlayerProgram checks it again.
void CheckPlayerProgram(std::span<const uint8_t> player, const std::string& playerName);

// Writes a player program: the player's own bytes, the film marker, the film file, the media
// marker and the media files back to back. The player finds its film by the first occurrence
// of each marker, so a player that already holds either marker text is refused, as is a film
// file that holds the media marker text; the written program is read back to make sure its
// markers lead exactly to its parts. A player that is no Windows program (no "MZ" header leading
// to a "PE" header) is refused too. Throws std::runtime_error; on failure `output` is untouched.
void WritePlayerProgram(const std::filesystem::path& output, std::span<const uint8_t> player,
                        const std::string& playerName, std::span<const uint8_t> film,
                        const std::vector<PayloadFile>& media);

}  // namespace lumafolio
