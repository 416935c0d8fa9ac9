#pragma once

#include <string>
#include <string_view>

namespace lumafolio {

// Texts from a film (names, captions, font faces) and what libgsf says about a film reach the
// terminal in listings, logs and error messages. A hostile film could hide escape sequences in
// them that move the cursor, rewrite earlier lines or retitle the window. This returns UTF-8
// text with every control character shown instead: C0 controls and DEL as "\x1B", C1 controls
// (U+0080 to U+009F, which some terminals obey too) as "\u009B". All else passes unchanged,
// bytes that are not UTF-8 included.
std::string Printable(std::string_view utf8);

// The Windows-1252 bytes that stand for control characters: C0, DEL and the five bytes the code
// page leaves undefined, which decode to C1 controls. None of them belongs in a file name.
bool IsCp1252Control(char byte);

}  // namespace lumafolio
