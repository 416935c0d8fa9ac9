#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace lumafolio {

// Runs the player's own JPEG decoder on the JPEG that starts at byte `offset` of `input` (a
// JPEG file, a player program, any file) and writes the bitmap the player would show as a BMP
// file. Throws std::runtime_error when the file cannot be read or written or the decoder
// refuses the picture (with its reason).
void DecodeToBmp(const std::string& input, int64_t offset, const std::string& output,
                 std::ostream& log);

}  // namespace lumafolio
