#include "JpegStreamWriter.h"

#include <algorithm>
#include <stdexcept>

namespace lumafolio::test {

std::array<HuffmanTable::Code, 256> HuffmanTable::Codes() const {
  std::array<Code, 256> codes{};
  uint32_t code = 0;
  std::size_t next = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < counts[length - 1]; ++i) {
      codes[symbols.at(next++)] = Code{code, length};
      ++code;
    }
    code <<= 1;
  }
  return codes;
}

namespace {

std::vector<uint8_t> BaselineAcSymbols() {
  std::vector<uint8_t> symbols = {0x00, 0xF0};
  for (int run = 0; run < 16; ++run) {
    for (int size = 1; size <= 10; ++size) symbols.push_back(static_cast<uint8_t>(run << 4 | size));
  }
  return symbols;
}

}  // namespace

HuffmanTable FlatDcTable() {
  HuffmanTable table;
  table.counts[3] = 12;
  for (int s = 0; s < 12; ++s) table.symbols.push_back(static_cast<uint8_t>(s));
  return table;
}

HuffmanTable FlatAcTable() {
  HuffmanTable table;
  table.symbols = BaselineAcSymbols();
  table.counts[7] = static_cast<uint8_t>(table.symbols.size());
  return table;
}

HuffmanTable LongAcTable() {
  HuffmanTable table;
  table.symbols = BaselineAcSymbols();  // 162 symbols
  table.counts[1] = 1;                  // EOB: 2 bits
  table.counts[7] = 120;                // 8 bits
  table.counts[8] = 30;                 // 9 bits: 30 x 128 second-level entries
  table.counts[11] = 5;                 // 12 bits
  table.counts[15] = 6;                 // 16 bits
  return table;
}

HuffmanTable LongDcTable() {
  HuffmanTable table;
  table.counts[3] = 11;
  table.counts[8] = 1;
  for (int s = 0; s < 12; ++s) table.symbols.push_back(static_cast<uint8_t>(s));
  return table;
}

void JpegStreamWriter::Segment(int code, const std::vector<uint8_t>& body) {
  Marker(code);
  Word(static_cast<int>(body.size()) + 2);
  bytes_.insert(bytes_.end(), body.begin(), body.end());
}

void JpegStreamWriter::Dqt(int tq, const std::array<uint16_t, 64>& entries, bool wide) {
  std::vector<uint8_t> body = {static_cast<uint8_t>((wide ? 0x10 : 0) | tq)};
  for (uint16_t entry : entries) {
    if (wide) body.push_back(static_cast<uint8_t>(entry >> 8));
    body.push_back(static_cast<uint8_t>(entry));
  }
  Segment(jpeg_marker::kDqt, body);
}

void JpegStreamWriter::Dht(int tc, int th, const HuffmanTable& table) {
  std::vector<uint8_t> body = {static_cast<uint8_t>(tc << 4 | th)};
  body.insert(body.end(), table.counts.begin(), table.counts.end());
  body.insert(body.end(), table.symbols.begin(), table.symbols.end());
  Segment(jpeg_marker::kDht, body);
}

void JpegStreamWriter::Sof0(int width, int height, const std::vector<FrameComponent>& components) {
  std::vector<uint8_t> body = {8,
                               static_cast<uint8_t>(height >> 8),
                               static_cast<uint8_t>(height),
                               static_cast<uint8_t>(width >> 8),
                               static_cast<uint8_t>(width),
                               static_cast<uint8_t>(components.size())};
  for (const FrameComponent& c : components) {
    body.push_back(static_cast<uint8_t>(c.id));
    body.push_back(static_cast<uint8_t>(c.h << 4 | c.v));
    body.push_back(static_cast<uint8_t>(c.tq));
  }
  Segment(jpeg_marker::kSof0, body);
}

void JpegStreamWriter::Sos(const std::vector<ScanComponent>& components) {
  std::vector<uint8_t> body = {static_cast<uint8_t>(components.size())};
  for (const ScanComponent& c : components) {
    body.push_back(static_cast<uint8_t>(c.id));
    body.push_back(static_cast<uint8_t>(c.td << 4 | c.ta));
  }
  body.insert(body.end(), {0, 63, 0});
  Segment(jpeg_marker::kSos, body);
}

void JpegStreamWriter::Dri(int interval) {
  Segment(jpeg_marker::kDri, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)});
}

void JpegStreamWriter::PutBits(uint32_t bits, int length) {
  for (int i = length - 1; i >= 0; --i) {
    pending_ = pending_ << 1 | ((bits >> i) & 1);
    if (++pendingCount_ == 8) {
      Byte(static_cast<int>(pending_));
      if (pending_ == jpeg_marker::kPrefix) Byte(jpeg_marker::kStuffed);
      pending_ = 0;
      pendingCount_ = 0;
    }
  }
}

void JpegStreamWriter::FlushBits() {
  while (pendingCount_ != 0) PutBits(1, 1);
}

void JpegStreamWriter::PutValue(int value, int size) {
  if (size == 0) return;
  const uint32_t bits =
      value < 0 ? static_cast<uint32_t>(value + (1 << size) - 1) : static_cast<uint32_t>(value);
  PutBits(bits, size);
}

namespace {

int SizeOf(int value) {
  int magnitude = value < 0 ? -value : value;
  int size = 0;
  while (magnitude) {
    ++size;
    magnitude >>= 1;
  }
  return size;
}

void PutSymbol(JpegStreamWriter& writer, const std::array<HuffmanTable::Code, 256>& codes,
               int symbol) {
  const HuffmanTable::Code code = codes[symbol];
  if (code.length == 0) throw std::logic_error("symbol not in the Huffman table");
  writer.PutBits(code.bits, code.length);
}

}  // namespace

void JpegStreamWriter::Block(const std::array<int, 64>& zigzag, int& predictor,
                             const HuffmanTable& dc, const HuffmanTable& ac,
                             bool zeroRunBeforeEob) {
  const auto dcCodes = dc.Codes();
  const auto acCodes = ac.Codes();
  const int difference = zigzag[0] - predictor;
  predictor = zigzag[0];
  const int dcSize = SizeOf(difference);
  PutSymbol(*this, dcCodes, dcSize);
  PutValue(difference, dcSize);
  int run = 0;
  int last = 63;
  while (last > 0 && zigzag[last] == 0) --last;
  for (int k = 1; k <= last; ++k) {
    if (zigzag[k] == 0) {
      ++run;
      continue;
    }
    while (run > 15) {
      PutSymbol(*this, acCodes, 0xF0);
      run -= 16;
    }
    const int size = SizeOf(zigzag[k]);
    PutSymbol(*this, acCodes, run << 4 | size);
    PutValue(zigzag[k], size);
    run = 0;
  }
  if (last < 63 && zeroRunBeforeEob) PutSymbol(*this, acCodes, 0xF0);
  if (last < 63) PutSymbol(*this, acCodes, 0x00);
}

void JpegStreamWriter::DcBlock(int dc, int& predictor, const HuffmanTable& dc_table,
                               const HuffmanTable& ac) {
  std::array<int, 64> zigzag{};
  zigzag[0] = dc;
  Block(zigzag, predictor, dc_table, ac);
}

std::array<uint16_t, 64> UnitQuant() {
  std::array<uint16_t, 64> entries;
  entries.fill(1);
  return entries;
}

int DcOnlySample(int dc) { return std::clamp((2 * (dc + 1024) + 8) >> 4, 0, 255); }

}  // namespace lumafolio::test
