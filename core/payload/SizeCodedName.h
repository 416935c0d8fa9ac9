#pragma once

#include <cstdint>
#include <string>

namespace lumafolio {

// A film names each file of its payload so that the name carries the file's size: the base name
// (no folder, no extension) begins with the size in decimal, e.g. "23725" or "5120-intro.avi".
// The leading digits are read up to the first non-digit; no digits means size 0. A run of digits
// too long for a file size saturates, so it can never wrap to a small or negative size.
int64_t SizeFromCodedName(const std::string& name);

// `offset` + `size`, saturating: a film may name absurd sizes, and an offset past every file is
// what such a name must give, never a wrapped-round one.
int64_t AddFileSize(int64_t offset, int64_t size);

// The base name as the C runtime's _splitpath gives it: without drive, folder and extension.
std::string BaseName(const std::string& name);
// The extension with its dot, or empty.
std::string Extension(const std::string& name);

}  // namespace lumafolio
