#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumafolio {

// Film texts are stored in the Windows ANSI code page 1252 ("Western"), the code page of the
// systems the films are made for; the tools speak UTF-8.

// The text in Windows-1252, or nothing when it is not valid UTF-8 or holds a character that the
// code page lacks; then `badOffset` (when given) receives the byte offset of the first such
// character in `utf8`.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8, size_t* badOffset = nullptr);

// Every byte has a meaning: the five bytes that Windows-1252 leaves undefined decode, as Windows
// decodes them, to the C1 control characters of the same value.
std::string Cp1252ToUtf8(std::string_view cp1252);

}  // namespace lumafolio
