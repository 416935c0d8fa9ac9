#include "tools/filmfile/CompoundDirectory.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/film/LittleEndian.h"
#include "core/payload/StdioFile.h"

namespace lumafolio {
namespace {

// Where the header and a directory entry of a compound file keep what is used here.
constexpr size_t kHeaderSize = 512;
constexpr size_t kSectorShiftAt = 30;
constexpr size_t kFatSectorCountAt = 44;
constexpr size_t kDirectoryStartAt = 48;
constexpr size_t kDifatStartAt = 68;
constexpr size_t kDifatSectorCountAt = 72;
constexpr size_t kHeaderDifatAt = 76;
constexpr size_t kHeaderDifatCount = 109;
constexpr size_t kEntrySize = 128;
constexpr size_t kTypeAt = 66;
constexpr size_t kColourAt = 67;
constexpr size_t kLeftAt = 68;
constexpr size_t kRightAt = 72;
constexpr size_t kChildAt = 76;
constexpr uint8_t kStorage = 1;
constexpr uint8_t kRoot = 5;
constexpr uint8_t kRed = 0;
constexpr uint8_t kBlack = 1;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

uint32_t Read32(const uint8_t* p) { return static_cast<uint32_t>(ReadLe32(p)); }
void Write32(uint8_t* p, uint32_t value) { WriteLe32(p, static_cast<int32_t>(value)); }

// A compound file in memory, with its directory's sectors found.
class Directory {
 public:
  // Nothing when the header or a sector chain on the way cannot be followed.
  static std::optional<Directory> Load(std::vector<uint8_t> bytes) {
    Directory directory;
    directory.bytes_ = std::move(bytes);
    if (!directory.Follow()) return std::nullopt;
    return directory;
  }

  uint32_t Count() const { return static_cast<uint32_t>(sectors_.size() * EntriesPerSector()); }
  uint8_t* Entry(uint32_t index) {
    return bytes_.data() + SectorOffset(sectors_[index / EntriesPerSector()]) +
           (index % EntriesPerSector()) * kEntrySize;
  }
  bool IsStorage(uint32_t index) {
    const uint8_t type = Entry(index)[kTypeAt];
    return type == kStorage || type == kRoot;
  }
  // The elements of the tree rooted at `root`, in order; nothing when a link leads outside the
  // directory or to an entry seen before (`seen` spans every tree of the file).
  std::optional<std::vector<uint32_t>> InOrder(uint32_t root, std::vector<bool>& seen) {
    std::vector<uint32_t> order;
    std::vector<uint32_t> pending;
    for (uint32_t node = root; node != kNoEntry || !pending.empty();) {
      for (; node != kNoEntry; node = Read32(Entry(node) + kLeftAt)) {
        if (node >= Count() || seen[node]) return std::nullopt;
        seen[node] = true;
        pending.push_back(node);
      }
      node = pending.back();
      pending.pop_back();
      order.push_back(node);
      node = Read32(Entry(node) + kRightAt);
    }
    return order;
  }

  // Writes the directory's sectors back into the file they were read from.
  bool Store(std::FILE* file) const {
    for (const uint32_t sector : sectors_) {
      const size_t offset = SectorOffset(sector);
      if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0 ||
          std::fwrite(bytes_.data() + offset, 1, SectorSize(), file) != SectorSize()) {
        return false;
      }
    }
    return true;
  }

 private:
  size_t SectorSize() const { return size_t{1} << shift_; }
  size_t EntriesPerSector() const { return SectorSize() / kEntrySize; }
  // Sector n follows the header, which fills the first sector whatever its size.
  size_t SectorOffset(uint32_t sector) const { return (size_t{sector} + 1) << shift_; }
  bool HasSector(uint32_t sector) const {
    return sector <= kLastRegularSector && SectorOffset(sector) + SectorSize() <= bytes_.size();
  }

  bool Follow() {
    if (bytes_.size() < kHeaderSize || !std::equal(kSignature, kSignature + 8, bytes_.begin())) {
      return false;
    }
    shift_ = static_cast<unsigned>(bytes_[kSectorShiftAt] | bytes_[kSectorShiftAt + 1] << 8);
    if (shift_ != 9 && shift_ != 12) return false;
    const size_t sectorCount = bytes_.size() / SectorSize();
    // The sectors of the allocation table, listed in the header and then in a chain of sectors.
    std::vector<uint32_t> fatSectors;
    const uint32_t fatCount = Read32(&bytes_[kFatSectorCountAt]);
    if (fatCount > sectorCount) return false;
    for (size_t i = 0; i < kHeaderDifatCount && fatSectors.size() < fatCount; ++i) {
      fatSectors.push_back(Read32(&bytes_[kHeaderDifatAt + 4 * i]));
    }
    uint32_t difat = Read32(&bytes_[kDifatStartAt]);
    for (uint32_t n = Read32(&bytes_[kDifatSectorCountAt]); n > 0 && fatSectors.size() < fatCount;
         --n) {
      if (!HasSector(difat)) return false;
      const uint8_t* p = bytes_.data() + SectorOffset(difat);
      for (size_t i = 0; i + 1 < SectorSize() / 4 && fatSectors.size() < fatCount; ++i) {
        fatSectors.push_back(Read32(p + 4 * i));
      }
      difat = Read32(p + SectorSize() - 4);
    }
    if (fatSectors.size() != fatCount) return false;
    std::vector<uint32_t> fat;
    for (const uint32_t sector : fatSectors) {
      if (!HasSector(sector)) return false;
      const uint8_t* p = bytes_.data() + SectorOffset(sector);
      for (size_t i = 0; i < SectorSize() / 4; ++i) fat.push_back(Read32(p + 4 * i));
    }
    for (uint32_t sector = Read32(&bytes_[kDirectoryStartAt]); sector <= kLastRegularSector;
         sector = fat[sector]) {
      if (!HasSector(sector) || sector >= fat.size() || sectors_.size() > sectorCount) return false;
      sectors_.push_back(sector);
    }
    return !sectors_.empty();
  }

  std::vector<uint8_t> bytes_;
  unsigned shift_ = 9;
  std::vector<uint32_t> sectors_;  // of the directory, in order
};

// Links `elements` [begin, end) into a tree of minimal height and returns its root. The nodes
// of the deepest level are red when that level is not full, all others black: every path from
// the root to an empty link then passes the same number of black nodes.
uint32_t Build(Directory& directory, const std::vector<uint32_t>& elements, size_t begin,
               size_t end, int depth, int redDepth) {
  if (begin >= end) return kNoEntry;
  const size_t middle = begin + (end - begin) / 2;
  uint8_t* entry = directory.Entry(elements[middle]);
  Write32(entry + kLeftAt, Build(directory, elements, begin, middle, depth + 1, redDepth));
  Write32(entry + kRightAt, Build(directory, elements, middle + 1, end, depth + 1, redDepth));
  entry[kColourAt] = depth == redDepth ? kRed : kBlack;
  return elements[middle];
}

std::optional<Directory> LoadFile(const std::string& path) {
  const StdioFile file = OpenStdioFile(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  for (size_t count; (count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
  if (std::ferror(file.get())) return std::nullopt;
  return Directory::Load(std::move(bytes));
}

// Black nodes on every path from `node` to an empty link, or -1 when the paths disagree or a
// red node has a red child; `height` receives the longest path's number of nodes.
int BlackHeight(Directory& directory, uint32_t node, bool parentRed, int& height) {
  height = 0;
  if (node == kNoEntry) return 0;
  if (node >= directory.Count()) return -1;
  const uint8_t* entry = directory.Entry(node);
  const bool red = entry[kColourAt] == kRed;
  if (red && parentRed) return -1;
  int left = 0;
  int right = 0;
  const int blackLeft = BlackHeight(directory, Read32(entry + kLeftAt), red, left);
  const int blackRight = BlackHeight(directory, Read32(entry + kRightAt), red, right);
  if (blackLeft < 0 || blackLeft != blackRight) return -1;
  height = std::max(left, right) + 1;
  return blackLeft + (red ? 0 : 1);
}

}  // namespace

bool BalanceDirectoryTrees(const std::string& path, std::string& error) {
  std::optional<Directory> directory = LoadFile(path);
  if (!directory) {
    error = "cannot follow the directory of " + path;
    return false;
  }
  std::vector<bool> seen(directory->Count(), false);
  for (uint32_t index = 0; index < directory->Count(); ++index) {
    if (!directory->IsStorage(index)) continue;
    uint8_t* storage = directory->Entry(index);
    const std::optional<std::vector<uint32_t>> elements =
        directory->InOrder(Read32(storage + kChildAt), seen);
    if (!elements) {
      error = "the directory of " + path + " holds a broken element tree";
      return false;
    }
    if (elements->empty()) continue;
    const size_t count = elements->size();
    const int deepest = static_cast<int>(std::bit_width(count)) - 1;  // the middle-split depth
    const bool full = (count & (count + 1)) == 0;
    Write32(storage + kChildAt, Build(*directory, *elements, 0, count, 0, full ? -1 : deepest));
  }
  StdioFile file = OpenStdioFile(path.c_str(), "r+b");
  if (!file || !directory->Store(file.get()) || std::fclose(file.release()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

int DirectoryTreeHeight(const std::string& path) {
  std::optional<Directory> directory = LoadFile(path);
  if (!directory) return -1;
  int tallest = 0;
  for (uint32_t index = 0; index < directory->Count(); ++index) {
    if (!directory->IsStorage(index)) continue;
    const uint32_t root = Read32(directory->Entry(index) + kChildAt);
    if (root != kNoEntry && root < directory->Count() &&
        directory->Entry(root)[kColourAt] == kRed) {
      return -1;
    }
    int height = 0;
    if (BlackHeight(*directory, root, false, height) < 0) return -1;
    tallest = std::max(tallest, height);
  }
  return tallest;
}

}  // namespace lumafolio
