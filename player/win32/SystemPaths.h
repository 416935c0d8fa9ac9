#pragma once

#include <optional>
#include <string>

namespace lumafolio {

// Paths as the player keeps them: UTF-8 (core/payload/Utf8Path.h), reached through the
// system's wide-character calls, so that folders the ANSI code page cannot spell work too.

// The running program's own file; empty when the system cannot say.
std::string ProgramPath();

// The user's temporary folder, ending with a backslash; empty when there is none.
std::string TemporaryFolder();

// `path` for a wide-character call; empty when it is not UTF-8, which names no file.
std::wstring WidePath(const std::string& path);

// A film's text, in the ANSI code page, as UTF-8, to be joined to a path of ours.
std::string Utf8FromAnsi(const std::string& text);

// The short (8.3) form of the existing file at `path`, in the ANSI code page: no spaces, no
// long names, and on volumes that keep short names only characters the code page spells. Nothing
// when the file is missing, the volume keeps no short names or the code page cannot spell them.
std::optional<std::string> ShortAnsiPath(const std::string& path);

// A name for the file at `path` that a consumer taking only ANSI paths (MCI, the command line of
// an ANSI program) can open: the path itself when the ANSI code page spells it exactly, else the
// short (8.3) form of the existing file when the volume keeps one and the code page spells it.
// Nothing otherwise: a best-fit spelling ("?" or a look-alike letter) would name another file.
std::optional<std::string> AnsiPathFor(const std::string& path);

}  // namespace lumafolio
