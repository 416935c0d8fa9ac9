#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace lumafolio {

// Copies `size` bytes from `offset` of the file at `source` into a new file `to`; throws
// std::runtime_error naming the file that failed and why, after removing a partly written `to`.
void CopyRange(const std::string& source, int64_t offset, int64_t size,
               const std::filesystem::path& to);

}  // namespace lumafolio
