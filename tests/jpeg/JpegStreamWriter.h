#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/jpeg/JpegMarkers.h"

namespace lumafolio::test {

// A Huffman table as a DHT segment carries it: 16 code-length counts and the symbols in code
// order, with the canonical codes computed from them.
struct HuffmanTable {
  std::array<uint8_t, 16> counts{};
  std::vector<uint8_t> symbols;

  struct Code {
    uint32_t bits = 0;
    int length = 0;
  };
  // The code of every symbol (length 0 for symbols not in the table).
  std::array<Code, 256> Codes() const;
};

// Every DC size 0 to 11 as a 4-bit code.
HuffmanTable FlatDcTable();
// Every baseline AC symbol (EOB, ZRL, run/size with size 1 to 10) as an 8-bit code.
HuffmanTable FlatAcTable();
// The baseline AC symbols with codes from 2 to 16 bits, 30 of them of 9 bits, so that the
// lookup needs many second-level tables.
HuffmanTable LongAcTable();
// DC sizes 0 to 10 as 4-bit codes and size 11 as a 9-bit code.
HuffmanTable LongDcTable();

// Writes JPEG streams piece by piece, so that tests can make exactly the stream they need,
// well-formed or not, without binary fixtures.
class JpegStreamWriter {
 public:
  struct FrameComponent {
    int id;
    int h;
    int v;
    int tq;
  };
  struct ScanComponent {
    int id;
    int td;
    int ta;
  };

  void Byte(int value) { bytes_.push_back(static_cast<uint8_t>(value)); }
  void Word(int value) {
    Byte(value >> 8);
    Byte(value & 0xFF);
  }
  void Marker(int code) {
    Byte(jpeg_marker::kPrefix);
    Byte(code);
  }
  void Soi() { Marker(jpeg_marker::kSoi); }
  void Eoi() { Marker(jpeg_marker::kEoi); }
  // A segment with its length field computed from the body.
  void Segment(int code, const std::vector<uint8_t>& body);
  // One DQT table; 16-bit entries when `wide`.
  void Dqt(int tq, const std::array<uint16_t, 64>& entries, bool wide = false);
  void Dht(int tc, int th, const HuffmanTable& table);
  void Sof0(int width, int height, const std::vector<FrameComponent>& components);
  void Sos(const std::vector<ScanComponent>& components);
  void Dri(int interval);

  // Entropy-coded data: bits with 0xFF bytes stuffed.
  void PutBits(uint32_t bits, int length);
  // Pads the last byte with 1 bits, as encoders do before a marker.
  void FlushBits();
  // One block from its coefficients in zig-zag order (already quantised). With
  // `zeroRunBeforeEob`, a ZRL goes before the EOB: it carries the index past 63 whenever the
  // last coefficient is at 48 or beyond.
  void Block(const std::array<int, 64>& zigzag, int& predictor, const HuffmanTable& dc,
             const HuffmanTable& ac, bool zeroRunBeforeEob = false);
  // A block holding a DC value only.
  void DcBlock(int dc, int& predictor, const HuffmanTable& dc_table, const HuffmanTable& ac);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  void PutValue(int value, int size);
  std::vector<uint8_t> bytes_;
  uint32_t pending_ = 0;
  int pendingCount_ = 0;
};

// All ones: the quantisation table that makes coefficients what the tests write.
std::array<uint16_t, 64> UnitQuant();

// The sample value a DC-only block yields for a dequantised DC coefficient dc (no level shift):
// the inverse DCT's gain is 2 per pass pair, then rounding by 8 and shift 4.
int DcOnlySample(int dc);

}  // namespace lumafolio::test
