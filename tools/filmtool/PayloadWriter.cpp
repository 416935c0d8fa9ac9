#include "tools/filmtool/PayloadWriter.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "core/payload/PlayerPayload.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

std::span<const uint8_t> Bytes(std::span<const char> text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A Windows program starts with an MS-DOS header ("MZ") whose field at 0x3C points at the "PE"
// signature; anything else would make a film no Windows can start.
void CheckWindowsProgram(std::span<const uint8_t> player, const std::string& playerName) {
  constexpr size_t kPeOffsetField = 0x3C;
  if (player.size() < kPeOffsetField + 4 || player[0] != 'M' || player[1] != 'Z') {
    throw std::runtime_error(playerName +
                             " is not a Windows program (it does not start with \"MZ\"): "
                             "--player takes the bare player.exe");
  }
  const uint32_t pe = player[kPeOffsetField] | player[kPeOffsetField + 1] << 8 |
                      player[kPeOffsetField + 2] << 16 |
                      static_cast<uint32_t>(player[kPeOffsetField + 3]) << 24;
  static constexpr uint8_t kSignature[] = {'P', 'E', 0, 0};
  if (pe > player.size() - 4 ||
      !std::equal(std::begin(kSignature), std::end(kSignature), player.begin() + pe)) {
    throw std::runtime_error(playerName +
                             " is not a Windows program (its MS-DOS header leads to no PE "
                             "header): --player takes the bare player.exe");
  }
}

}  // namespace

void CheckPlayerProgram(std::span<const uint8_t> player, const std::string& playerName) {
  CheckWindowsProgram(player, playerName);
  if (ContainsText(player, FilmMarker()) || ContainsText(player, MediaMarker())) {
    throw std::runtime_error(playerName +
                             " already holds a film marker text: it is not a bare player (it may "
                             "carry a film already), and the player would stop its search there");
  }
}

bool ContainsText(std::span<const uint8_t> bytes, std::span<const char> text) {
  const std::span<const uint8_t> needle = Bytes(text);
  return std::search(bytes.begin(), bytes.end(),
                     std::boyer_moore_horspool_searcher(needle.begin(), needle.end())) !=
         bytes.end();
}

void WritePlayerProgram(const std::filesystem::path& output, std::span<const uint8_t> player,
                        const std::string& playerName, std::span<const uint8_t> film,
                        const std::vector<PayloadFile>& media) {
  CheckPlayerProgram(player, playerName);
  const auto filmMarker = FilmMarker();
  const auto mediaMarker = MediaMarker();
  if (ContainsText(film, mediaMarker)) {
    throw std::runtime_error(
        "the film file holds the media marker text, which would cut the film short when it is "
        "played");
  }

  PendingFile out(output);
  out.Write(player);
  out.Write(Bytes(filmMarker));
  out.Write(film);
  out.Write(Bytes(mediaMarker));
  for (const PayloadFile& file : media) {
    if (!file.bytes.empty()) {
      out.Write(file.bytes);
    } else {
      out.Append(file.path, file.size);
    }
  }

  // Read the program back as the player will: both markers must lead to our parts.
  out.Flush();
  std::optional<PayloadLocation> location;
  if (std::FILE* written = std::fopen(out.temporaryPath().c_str(), "rb")) {
    location = LocatePayload(written);
    std::fclose(written);
  }
  const auto filmStart = static_cast<int64_t>(player.size() + filmMarker.size());
  const auto mediaStart = static_cast<int64_t>(filmStart + film.size() + mediaMarker.size());
  if (!location || location->filmStart != filmStart || location->mediaStart != mediaStart) {
    throw std::runtime_error(
        "the written program does not lead the player to its film; "
        "nothing was written");
  }
  out.Commit(std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
             std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
             std::filesystem::perms::others_exec);
}

}  // namespace lumafolio
