#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "core/payload/Utf8Path.h"

namespace lumafolio {

struct StdioFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// A C runtime file, closed when it goes out of scope.
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

// Opens a file named in UTF-8. On Windows the name goes through the wide-character call, so a
// folder that the ANSI code page cannot spell opens all the same; a name that is not UTF-8 opens
// nothing.
inline StdioFile OpenStdioFile(const char* path, const char* mode) {
#ifdef _WIN32
  const std::optional<std::wstring> widePath = WidenUtf8(path);
  const std::optional<std::wstring> wideMode = WidenUtf8(mode);
  if (!widePath || !wideMode) return nullptr;
  return StdioFile(_wfopen(widePath->c_str(), wideMode->c_str()));
#else
  return StdioFile(std::fopen(path, mode));
#endif
}

}  // namespace lumafolio
