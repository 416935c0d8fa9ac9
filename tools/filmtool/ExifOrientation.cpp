#include "tools/filmtool/ExifOrientation.h"

#include <cstring>
#include <optional>

namespace lumafolio {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kExifIfdTag = 0x8769;
constexpr uint16_t kDateTimeOriginalTag = 0x9003;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

// The TIFF structure inside the Exif block: offsets count from its header, and every read is
// checked against its end.
class TiffReader {
 public:
  TiffReader(std::span<const uint8_t> tiff, bool bigEndian) : tiff_(tiff), big_(bigEndian) {}

  std::optional<uint16_t> U16(size_t at) const {
    if (at > tiff_.size() || tiff_.size() - at < 2) return std::nullopt;
    return big_ ? static_cast<uint16_t>(tiff_[at] << 8 | tiff_[at + 1])
                : static_cast<uint16_t>(tiff_[at + 1] << 8 | tiff_[at]);
  }
  std::optional<uint32_t> U32(size_t at) const {
    const std::optional<uint16_t> a = U16(at);
    const std::optional<uint16_t> b = U16(at + 2);
    if (!a || !b) return std::nullopt;
    return big_ ? (uint32_t{*a} << 16 | *b) : (uint32_t{*b} << 16 | *a);
  }

  // Calls `visit(tag, type, count, entryOffset)` for each entry of the IFD at `offset` that lies
  // wholly inside the block.
  template <typename Visit>
  void Entries(size_t offset, Visit visit) const {
    const std::optional<uint16_t> count = U16(offset);
    if (!count) return;
    for (size_t k = 0; k < *count; ++k) {
      const size_t entry = offset + 2 + 12 * k;
      if (entry > tiff_.size() || tiff_.size() - entry < 12) return;
      visit(*U16(entry), *U16(entry + 2), *U32(entry + 4), entry);
    }
  }

  std::span<const uint8_t> bytes() const { return tiff_; }

 private:
  std::span<const uint8_t> tiff_;
  bool big_;
};

bool WellFormedDate(const std::string& text) {
  if (text.size() != 19) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
    if (separator ? (c != (i == 10 ? ' ' : ':')) : (c < '0' || c > '9')) return false;
  }
  // Cameras without a clock write "0000:00:00 00:00:00": no date at all.
  return text.compare(0, 4, "0000") != 0;
}

void ReadTiff(std::span<const uint8_t> tiff, size_t tiffStart, ExifInfo& info) {
  if (tiff.size() < 8) return;
  bool big = false;
  if (tiff[0] == 'M' && tiff[1] == 'M') {
    big = true;
  } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
    return;
  }
  const TiffReader reader(tiff, big);
  if (reader.U16(2) != 42) return;
  const uint32_t ifd0 = *reader.U32(4);
  std::optional<uint32_t> exifIfd;
  reader.Entries(ifd0, [&](uint16_t tag, uint16_t type, uint32_t count, size_t entry) {
    if (tag == kOrientationTag && type == kTypeShort && count == 1 && !info.hasOrientation) {
      const uint16_t value = *reader.U16(entry + 8);
      info.hasOrientation = true;
      info.bigEndian = big;
      info.orientationOffset = tiffStart + entry + 8;
      info.orientation = value >= 1 && value <= 8 ? value : 1;
    } else if (tag == kExifIfdTag && (type == kTypeLong || type == kTypeShort) && count == 1) {
      exifIfd = type == kTypeLong ? *reader.U32(entry + 8) : *reader.U16(entry + 8);
    }
  });
  if (!exifIfd) return;
  reader.Entries(*exifIfd, [&](uint16_t tag, uint16_t type, uint32_t count, size_t entry) {
    // The date is 19 characters and a terminating NUL, so it never fits the entry itself.
    if (tag != kDateTimeOriginalTag || type != kTypeAscii || count < 19 || count > 64) return;
    const uint32_t at = *reader.U32(entry + 8);
    if (at > tiff.size() || tiff.size() - at < count) return;
    const std::string text(reinterpret_cast<const char*>(tiff.data()) + at, 19);
    if (WellFormedDate(text)) info.dateTimeOriginal = text;
  });
}

}  // namespace

ExifInfo ReadExif(std::span<const uint8_t> jpeg) {
  ExifInfo info;
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return info;
  size_t pos = 2;
  // Marker segments up to the first scan or frame header; Exif comes right after SOI in
  // practice, but a JFIF APP0 may stand before it.
  while (pos + 4 <= jpeg.size()) {
    if (jpeg[pos] != 0xFF) return info;
    const uint8_t code = jpeg[pos + 1];
    if (code == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (code == 0xDA || code == 0xD9) return info;
    const size_t length = static_cast<size_t>(jpeg[pos + 2] << 8 | jpeg[pos + 3]);
    if (length < 2 || jpeg.size() - (pos + 2) < length) return info;
    const size_t body = pos + 4;
    const size_t bodySize = length - 2;
    if (code == 0xE1 && bodySize >= 6 && std::memcmp(&jpeg[body], "Exif\0\0", 6) == 0) {
      ReadTiff(jpeg.subspan(body + 6, bodySize - 6), body + 6, info);
      return info;
    }
    pos += 2 + length;
  }
  return info;
}

bool ClearExifOrientation(std::vector<uint8_t>& jpeg) {
  const ExifInfo info = ReadExif(jpeg);
  if (!info.hasOrientation) return false;
  uint8_t* value = &jpeg[info.orientationOffset];
  value[0] = info.bigEndian ? 0 : 1;
  value[1] = info.bigEndian ? 1 : 0;
  return true;
}

}  // namespace lumafolio
