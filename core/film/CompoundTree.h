#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumafolio {

// A compound file to be written, described in memory: storages holding streams and storages.
struct CompoundElement {
  std::string name;
  bool isStorage = false;
  std::vector<uint8_t> bytes;             // a stream's contents
  std::vector<CompoundElement> children;  // a storage's elements

  static CompoundElement Stream(std::string name, std::vector<uint8_t> bytes);
  static CompoundElement Storage(std::string name, std::vector<CompoundElement> children = {});
};

// Compound-file element names hold at most 31 characters and none of '/', '\\', ':', '!'.
bool IsValidElementName(const std::string& name);

// Writes `root`'s children as the root storage of a new compound file at `path` (replacing
// any file there). On failure returns false with a message in `error`; a partly written file
// is removed. Natively this is libgsf; on Windows ole32.
bool WriteCompoundFile(const CompoundElement& root, const std::string& path, std::string& error);

}  // namespace lumafolio
