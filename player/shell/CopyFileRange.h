#pragma once

#include <cstdint>
#include <string>

namespace lumafolio {

// Copies `length` bytes from `offset` of the source into a new destination file (an existing one,
// read-only or not, is replaced). One window message is dispatched after every 2048 bytes.
// A source too short for the range is refused before the destination is touched; a failed copy
// leaves what was written. Returns true when every byte was written. Both paths are UTF-8.
bool CopyFileRange(const std::string& source, int64_t offset, int64_t length,
                   const std::string& destination);

}  // namespace lumafolio
