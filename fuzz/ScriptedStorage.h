#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/film/CompoundTree.h"
#include "core/film/FilmStorage.h"
#include "fuzz/FuzzInput.h"

namespace lumafolio::fuzz {

// A film's storage tree decoded from fuzz bytes, so that the film reader meets any tree at all:
// names no compound-file library would store, duplicates, elements of every kind under any name,
// streams of any size, and faults at every step (an element that is listed but cannot be
// opened, a listing that fails half-way, a read error, reads that hand out a few bytes at a time).
struct ScriptedElement {
  std::string name;
  ElementKind kind = ElementKind::kStorage;
  std::vector<uint8_t> bytes;             // a stream's contents
  std::vector<ScriptedElement> children;  // a storage's elements
  bool failOpen = false;                  // listed, but opening it gives nothing
  bool failEnumerate = false;             // a storage that cannot be listed
  int errorAt = -1;                       // a storage whose listing fails at this step
  bool failRead = false;                  // a stream whose reads fail
  size_t readLimit = 0;                   // a stream that gives at most this much per read
};

// The script, byte by byte (every read past the end gives 0):
//   tree    := count node*count                       the root storage's elements
//   node    := head name body
//   head    := kind in bits 0-1 (0 stream, 1 and 3 storage, 2 other), a fault in bits 2-7
//   name    := n < 0x80: a film name (n % 8 picks it; numbered ones take a number byte)
//              n >= 0x80: n & 0x3F raw bytes
//   body    := stream: size code (< 12: a size from a list of the film's record sizes and their
//              neighbours; else a 16-bit size), a 16-bit literal length, the literal bytes and a
//              fill byte for the rest; storage: tree; other: nothing
// Trees stop at a few levels and a few thousand elements so that every input runs quickly.
ScriptedElement ParseScript(FuzzInput& input);

// The script that gives back `root` with no faults: seeds for the fuzzer from real film trees.
std::vector<uint8_t> EncodeScript(const CompoundElement& root);

// Storage over a scripted tree; every path opens the same root.
class ScriptedFilmStorage final : public FilmStorage {
 public:
  explicit ScriptedFilmStorage(const ScriptedElement& root) : root_(root) {}
  std::unique_ptr<StorageNode> OpenRoot(const std::string& path) override;

 private:
  const ScriptedElement& root_;
};

}  // namespace lumafolio::fuzz
