#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumafolio {

// The player keeps every file-system path it makes (its own program file, its folder in the
// temporary folder, the files extracted there) as UTF-8 in a std::string, and widens it only at
// the call that opens, deletes or hands on the file. The system's ANSI code page cannot spell
// every folder a user may have ("写真" on a Western system, an emoji in a user name); UTF-8 can.
// Film texts stay in the ANSI code page, as films have always stored them.

// UTF-8 to the platform's wide characters (UTF-16 where wchar_t has 16 bits, as on Windows;
// code points where it has 32). Nothing for malformed input: overlong forms, surrogates, code
// points past U+10FFFF, cut-off sequences and embedded NULs never name a file.
std::optional<std::wstring> WidenUtf8(std::string_view text);

// The reverse. Nothing for a lone surrogate, which UTF-8 cannot carry.
std::optional<std::string> Utf8FromWide(std::wstring_view text);

}  // namespace lumafolio
