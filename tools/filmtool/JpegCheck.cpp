#include "tools/filmtool/JpegCheck.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {
namespace {

struct Refusal {
  std::string problem;
};

std::string Hex(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

struct Component {
  int id = 0;
  int h = 0;
  int v = 0;
  int tq = 0;
};

// Walks the marker segments and the one scan, refusing (by throwing Refusal) at the first
// thing the player cannot decode.
class JpegWalker {
 public:
  explicit JpegWalker(std::span<const uint8_t> jpeg) : data_(jpeg) {}

  JpegCheck Walk() {
    if (data_.size() < 4 || data_[0] != jpeg_marker::kPrefix || data_[1] != jpeg_marker::kSoi) {
      throw Refusal{"is not a JPEG file (no start-of-image marker)"};
    }
    pos_ = 2;
    for (;;) {
      const int code = NextMarker();
      if (code == jpeg_marker::kSoi) throw Refusal{"holds a second start-of-image marker"};
      if (code == jpeg_marker::kEoi) throw Refusal{"ends before its image data"};
      if (jpeg_marker::IsRst(code)) throw Refusal{"holds a restart marker outside its scan"};
      if (code == jpeg_marker::kSof0 || code == jpeg_marker::kSof2) {
        ReadFrame(code == jpeg_marker::kSof2);
        if (progressive_) return Result(JpegCheck::Result::kProgressive);
      } else if (code == jpeg_marker::kDht) {
        ReadHuffmanTables();
      } else if (code == jpeg_marker::kDqt) {
        ReadQuantTables();
      } else if (code == jpeg_marker::kDri) {
        ReadRestartInterval();
      } else if (jpeg_marker::IsApp(code) || code == jpeg_marker::kCom) {
        ReadApplication(code);
      } else if (code == jpeg_marker::kSos) {
        ReadScanHeader();
        ReadScanData();
        return Result(JpegCheck::Result::kPlayable);
      } else {
        throw Refusal{FrameKindProblem(code)};
      }
    }
  }

 private:
  JpegCheck Result(JpegCheck::Result result) const {
    JpegCheck check;
    check.result = result;
    check.width = width_;
    check.height = height_;
    check.components = static_cast<int>(componentCount_);
    return check;
  }

  static std::string FrameKindProblem(int code) {
    switch (code) {
      case jpeg_marker::kSof1:
        return "uses an extended sequential frame (12-bit samples or more than two Huffman "
               "tables of a kind); the player decodes baseline JPEG only";
      case jpeg_marker::kSof3:
        return "is a lossless JPEG; the player decodes baseline JPEG only";
      case jpeg_marker::kSof5:
      case jpeg_marker::kSof6:
      case jpeg_marker::kSof7:
        return "is a hierarchical JPEG; the player decodes baseline JPEG only";
      case jpeg_marker::kSof9:
      case jpeg_marker::kSof10:
      case jpeg_marker::kSof11:
      case jpeg_marker::kSof13:
      case jpeg_marker::kSof14:
      case jpeg_marker::kSof15:
      case jpeg_marker::kDac:
        return "is arithmetic-coded; the player decodes Huffman-coded baseline JPEG only";
      default:
        return "holds marker 0xFF" + Hex(code).substr(2) + ", which the player cannot read";
    }
  }

  uint8_t Byte(size_t at) const {
    if (at >= data_.size()) throw Refusal{"is truncated"};
    return data_[at];
  }
  int Word(size_t at) const { return Byte(at) << 8 | Byte(at + 1); }

  // The player expects every marker right where the previous segment ends: one 0xFF, then the
  // code. A second 0xFF (a fill byte) would be taken as the code of an unknown segment.
  int NextMarker() {
    if (Byte(pos_) != jpeg_marker::kPrefix) {
      throw Refusal{"has no marker where one must follow (offset " + std::to_string(pos_) + ")"};
    }
    const int code = Byte(pos_ + 1);
    if (code == jpeg_marker::kPrefix) {
      throw Refusal{"has fill bytes before a marker (offset " + std::to_string(pos_) +
                    "), which the player cannot skip"};
    }
    pos_ += 2;
    return code;
  }

  // Starts a segment: returns its end and leaves pos_ on its first content byte.
  size_t BeginSegment() {
    const int length = Word(pos_);
    if (length < 2) throw Refusal{"has a marker segment with an impossible length"};
    const size_t end = pos_ + static_cast<size_t>(length);
    if (end > data_.size()) throw Refusal{"is truncated"};
    pos_ += 2;
    return end;
  }

  void EndSegment(size_t end, const char* what) {
    if (pos_ != end) throw Refusal{std::string("has a ") + what + " segment of the wrong length"};
  }

  void ReadFrame(bool progressive) {
    if (componentCount_ != 0) throw Refusal{"holds more than one frame"};
    progressive_ = progressive;
    const size_t end = BeginSegment();
    const int precision = Byte(pos_);
    height_ = Word(pos_ + 1);
    width_ = Word(pos_ + 3);
    const int count = Byte(pos_ + 5);
    pos_ += 6;
    if (precision != 8) {
      throw Refusal{"has " + std::to_string(precision) + "-bit samples; the player decodes 8-bit"};
    }
    if (width_ == 0 || height_ == 0) {
      throw Refusal{"gives no picture size in its frame header"};
    }
    if (width_ > kMaxPictureSide || height_ > kMaxPictureSide) {
      throw Refusal{"is " + std::to_string(width_) + "x" + std::to_string(height_) +
                    " pixels; pictures may be at most " + std::to_string(kMaxPictureSide) +
                    " pixels wide and high"};
    }
    if (count == 4) {
      throw Refusal{
          "has four colour components (CMYK or YCCK); the player shows greyscale and "
          "YCbCr colour pictures only"};
    }
    if (count != 1 && count != 3) {
      throw Refusal{"has " + std::to_string(count) +
                    " colour components; the player shows greyscale (1) and colour (3) pictures"};
    }
    for (int i = 0; i < count; ++i) {
      Component& c = components_[i];
      c.id = Byte(pos_);
      c.h = Byte(pos_ + 1) >> 4;
      c.v = Byte(pos_ + 1) & 15;
      c.tq = Byte(pos_ + 2);
      pos_ += 3;
      for (int k = 0; k < i; ++k) {
        if (components_[k].id == c.id) throw Refusal{"names one component twice in its frame"};
      }
      if (c.tq > 3) throw Refusal{"selects a quantisation table beyond the four the player has"};
    }
    componentCount_ = static_cast<size_t>(count);
    EndSegment(end, "frame header");
    CheckSampling();
  }

  // The decoder's rule: factors of 1, 2 or 4; a lone component's scan is one block per MCU
  // whatever its factors say; Cb and Cr sampled alike and no more finely than luma, so that
  // each chroma sample serves a block of 1, 2 or 4 pixels across and down.
  void CheckSampling() const {
    auto allowed = [](int f) { return f == 1 || f == 2 || f == 4; };
    const Component& luma = components_[0];
    if (!allowed(luma.h) || !allowed(luma.v)) {
      throw Refusal{"has luma sampling " + std::to_string(luma.h) + "x" + std::to_string(luma.v) +
                    "; the player decodes 1, 2 or 4 per direction"};
    }
    if (componentCount_ == 1) return;
    const Component& cb = components_[1];
    const Component& cr = components_[2];
    if (!allowed(cb.h) || !allowed(cb.v) || cb.h != cr.h || cb.v != cr.v || cb.h > luma.h ||
        cb.v > luma.v) {
      throw Refusal{"has chroma sampling " + std::to_string(cb.h) + "x" + std::to_string(cb.v) +
                    " and " + std::to_string(cr.h) + "x" + std::to_string(cr.v) + " under luma " +
                    std::to_string(luma.h) + "x" + std::to_string(luma.v) +
                    "; the player shows Cb and Cr sampled alike, 1, 2 or 4 per direction and "
                    "no more finely than luma"};
    }
  }

  // Progressive files may define tables beyond the baseline ones before their frame header
  // says what they are, so a table's flaws count only when a baseline scan uses the table.
  void ReadHuffmanTables() {
    const size_t end = BeginSegment();
    while (pos_ < end) {
      const int tc = Byte(pos_) >> 4;
      const int th = Byte(pos_) & 15;
      std::array<int, 17> counts{};
      uint32_t space = 0;  // code space used, in units of 2^-16 (Kraft sum)
      size_t symbols = 0;
      for (int n = 1; n <= 16; ++n) {
        counts[n] = Byte(pos_ + n);
        symbols += static_cast<size_t>(counts[n]);
        space += static_cast<uint32_t>(counts[n]) << (16 - n);
      }
      pos_ += 17;
      if (pos_ + symbols > end) throw Refusal{"has a Huffman table segment of the wrong length"};
      bool valid = true;
      for (size_t i = 0; i < symbols; ++i) {
        const int symbol = data_[pos_ + i];
        const int size = symbol & 15;
        valid = valid && (tc == 0 ? symbol <= 11
                                  : (size >= 1 && size <= 10) || symbol == 0x00 || symbol == 0xF0);
      }
      pos_ += symbols;
      if (tc > 1 || th > 1) {
        NoteTableProblem("defines Huffman table " + std::to_string(th) + " of class " +
                         std::to_string(tc) + "; the player has tables 0 and 1 of each class");
        continue;
      }
      // Codes that overfill the code space would also overrun the player's lookup tables.
      if (space > 65536) valid = false;
      (tc == 0 ? dcState_ : acState_)[th] = valid ? kTableValid : kTableInvalid;
    }
    EndSegment(end, "Huffman table");
  }

  void NoteTableProblem(std::string problem) {
    if (tableProblem_.empty()) tableProblem_ = std::move(problem);
  }

  void ReadQuantTables() {
    const size_t end = BeginSegment();
    while (pos_ < end) {
      const int pq = Byte(pos_) >> 4;
      const int tq = Byte(pos_) & 15;
      ++pos_;
      if (pq > 1 || tq > 3) {
        throw Refusal{"defines a quantisation table the player cannot hold"};
      }
      for (int k = 0; k < 64; ++k) {
        if (pq == 1) {
          // The player keeps entries as signed 16-bit values.
          if (Word(pos_) > 32767) throw Refusal{"has quantisation values above 32767"};
          pos_ += 2;
        } else {
          Byte(pos_);
          ++pos_;
        }
      }
      quantDefined_[tq] = true;
    }
    EndSegment(end, "quantisation table");
  }

  void ReadRestartInterval() {
    const size_t end = BeginSegment();
    restartInterval_ = Word(pos_);
    pos_ += 2;
    EndSegment(end, "restart interval");
  }

  void ReadApplication(int code) {
    const size_t end = BeginSegment();
    auto startsWith = [&](const char* tag, size_t length) {
      if (pos_ + length > end) return false;
      for (size_t i = 0; i < length; ++i) {
        if (data_[pos_ + i] != static_cast<uint8_t>(tag[i])) return false;
      }
      return true;
    };
    if (code == jpeg_marker::kApp0 && startsWith("JFIF\0", 5)) jfif_ = true;
    if (code == jpeg_marker::kApp14 && startsWith("Adobe", 5) && pos_ + 12 <= end)
      adobeTransform_ = data_[pos_ + 11];
    pos_ = end;
  }

  void ReadScanHeader() {
    if (componentCount_ == 0) throw Refusal{"has image data before its frame header"};
    // Colour pictures are taken as YCbCr. One stored as RGB (so marked by Adobe, or recognised
    // as libjpeg does by its component names) would show in wrong colours.
    const bool rgbIds = componentCount_ == 3 && components_[0].id == 'R' &&
                        components_[1].id == 'G' && components_[2].id == 'B';
    if (componentCount_ == 3 &&
        (adobeTransform_ == 0 || (!jfif_ && adobeTransform_ < 0 && rgbIds))) {
      throw Refusal{"stores its colours as RGB; the player shows YCbCr colour pictures only"};
    }
    if (!tableProblem_.empty()) throw Refusal{tableProblem_};
    const size_t end = BeginSegment();
    const size_t count = Byte(pos_++);
    if (count != componentCount_) {
      throw Refusal{
          "codes its components in separate scans; the player decodes a single scan "
          "that holds all components"};
    }
    std::array<bool, 3> seen{};
    for (size_t i = 0; i < count; ++i) {
      const int id = Byte(pos_);
      const int td = Byte(pos_ + 1) >> 4;
      const int ta = Byte(pos_ + 1) & 15;
      pos_ += 2;
      size_t k = 0;
      while (k < componentCount_ && components_[k].id != id) ++k;
      if (k == componentCount_ || seen[k]) throw Refusal{"has a scan that names a wrong component"};
      seen[k] = true;
      if (td > 1 || ta > 1 || dcState_[td] == kTableUndefined || acState_[ta] == kTableUndefined) {
        throw Refusal{"has a scan that uses an undefined Huffman table"};
      }
      if (dcState_[td] == kTableInvalid || acState_[ta] == kTableInvalid) {
        throw Refusal{"has a Huffman table that is not a valid baseline table"};
      }
      if (!quantDefined_[components_[k].tq]) {
        throw Refusal{"uses a quantisation table that it does not define before its scan"};
      }
    }
    const int ss = Byte(pos_);
    const int se = Byte(pos_ + 1);
    const int approximation = Byte(pos_ + 2);
    pos_ += 3;
    if (ss != 0 || se != 63 || approximation != 0) {
      throw Refusal{"has a scan that is not a sequential one"};
    }
    EndSegment(end, "scan header");
  }

  // The entropy-coded data up to the end-of-image marker. The player reads restart markers only
  // where the restart interval says they are, so their count must match exactly.
  void ReadScanData() {
    int restarts = 0;
    while (pos_ < data_.size()) {
      if (data_[pos_] != jpeg_marker::kPrefix) {
        ++pos_;
        continue;
      }
      const int next = Byte(pos_ + 1);
      if (next == jpeg_marker::kStuffed) {
        pos_ += 2;
      } else if (jpeg_marker::IsRst(next)) {
        ++restarts;
        pos_ += 2;
      } else if (next == jpeg_marker::kPrefix) {
        throw Refusal{"has fill bytes in its image data (offset " + std::to_string(pos_) +
                      "), which the player cannot skip"};
      } else if (next == jpeg_marker::kEoi) {
        break;
      } else {
        throw Refusal{"holds more after its image data than the end-of-image marker (marker " +
                      Hex(next) + "); the player decodes a single scan"};
      }
    }
    if (pos_ >= data_.size()) throw Refusal{"is truncated (no end-of-image marker)"};
    int hmax = 1;
    int vmax = 1;
    for (size_t i = 0; i < componentCount_; ++i) {
      hmax = std::max(hmax, components_[i].h);
      vmax = std::max(vmax, components_[i].v);
    }
    const int64_t mcus = static_cast<int64_t>((width_ + 8 * hmax - 1) / (8 * hmax)) *
                         ((height_ + 8 * vmax - 1) / (8 * vmax));
    const int64_t expected = restartInterval_ == 0 ? 0 : (mcus - 1) / restartInterval_;
    if (restarts != expected) {
      throw Refusal{"has " + std::to_string(restarts) + " restart markers where its restart " +
                    "interval calls for " + std::to_string(expected)};
    }
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool progressive_ = false;
  int width_ = 0;
  int height_ = 0;
  std::array<Component, 3> components_{};
  size_t componentCount_ = 0;
  enum TableState { kTableUndefined, kTableValid, kTableInvalid };
  std::array<TableState, 2> dcState_{};
  std::array<TableState, 2> acState_{};
  std::string tableProblem_;
  std::array<bool, 4> quantDefined_{};
  int restartInterval_ = 0;
  bool jfif_ = false;
  int adobeTransform_ = -1;
};

}  // namespace

JpegCheck CheckPlayerJpeg(std::span<const uint8_t> jpeg) {
  try {
    return JpegWalker(jpeg).Walk();
  } catch (const Refusal& refusal) {
    JpegCheck check;
    check.result = JpegCheck::Result::kRefused;
    check.problem = refusal.problem;
    return check;
  }
}

}  // namespace lumafolio
