#include "core/jpeg/JpegDecoder.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "core/jpeg/InverseDct.h"
#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {
namespace {

// Natural (row-major) position of each zig-zag index.
constexpr uint8_t kNaturalOrder[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

int Log2(int value) { return value == 4 ? 2 : value == 2 ? 1 : 0; }

// What the planes hold where a scan that a restart fault ended did not reach: the sample of a
// block without coefficients, mid-grey in every component, which is what libjpeg-turbo shows
// for a scan whose data runs out.
constexpr uint8_t kUnreachedSample = 128;

}  // namespace

JpegDecoder::JpegDecoder(std::span<const uint8_t> bytes, JpegLimits limits)
    : JpegBitReader(bytes), limits_(limits) {}

JpegDecoder::JpegDecoder(std::FILE* file, std::size_t chunkSize, JpegLimits limits)
    : JpegBitReader(file, chunkSize), limits_(limits) {}

bool JpegDecoder::Fail(const char* reason) {
  if (failure_.empty()) failure_ = reason;
  return false;
}

bool JpegDecoder::ParseMarkers() {
  for (bool end = false; !end;) {
    // Anything but a marker where one belongs ends the stream: the end of the data reads as
    // zero bytes, and trailing garbage is ignored.
    if (GetBits(8) != jpeg_marker::kPrefix) break;
    const uint32_t code = GetBits(8);
    if (code == jpeg_marker::kEoi) break;
    bool ok = true;
    switch (code) {
      case jpeg_marker::kSoi:
      case jpeg_marker::kRst0:  // RST0 to RST7 carry no segment
      case jpeg_marker::kRst0 + 1:
      case jpeg_marker::kRst0 + 2:
      case jpeg_marker::kRst0 + 3:
      case jpeg_marker::kRst0 + 4:
      case jpeg_marker::kRst0 + 5:
      case jpeg_marker::kRst0 + 6:
      case jpeg_marker::kRst7:
        break;
      case jpeg_marker::kSof0:
        ok = ReadFrameHeader();
        break;
      case jpeg_marker::kDht:
        ok = ReadHuffmanTables();
        break;
      case jpeg_marker::kDqt:
        ok = ReadQuantTables();
        break;
      case jpeg_marker::kSos:
        StartUnstuffing();
        ok = ReadScanHeader() && DecodeScan();
        AlignToByte();
        // A restart fault leaves the reading position inside the scan's data or wherever the
        // damage led (the next picture of a media blob, say), whose bytes would be taken for
        // markers: a second frame or scan, a table or a length made of coefficients. The
        // picture ends there as at EOI, with what was decoded.
        end = restartFault_;
        break;
      case jpeg_marker::kDri: {
        const uint32_t length = GetBits(16);
        restartInterval_ = static_cast<int>(GetBits(16));
        if (length < 4) return Fail("bad DRI segment length");
        if (length > 4) SkipBytes(length - 4);
        break;
      }
      default: {
        // Other frame types (progressive, arithmetic, ...), APPn, COM and the rest: skipped by
        // their length, so a non-baseline picture ends up without a frame.
        const uint32_t length = GetBits(16);
        if (length < 2) return Fail("bad segment length");
        SkipBytes(length - 2);
        break;
      }
    }
    if (!ok) return false;
  }
  if (!frameRead_) return Fail("no baseline (SOF0) frame");
  if (!scanDecoded_) return Fail("no scan");
  return true;
}

bool JpegDecoder::ReadFrameHeader() {
  if (frameRead_) return Fail("second frame header");
  GetBits(16);  // Lf: the fields say how much follows
  const uint32_t precision = GetBits(8);
  const int height = static_cast<int>(GetBits(16));
  const int width = static_cast<int>(GetBits(16));
  const int count = static_cast<int>(GetBits(8));
  if (precision != 8) return Fail("sample precision other than 8 bits");
  if (width == 0 || height == 0) return Fail("frame without width or height");
  if (width > limits_.maxSide || height > limits_.maxSide ||
      int64_t{width} * height > limits_.maxPixels) {
    return Fail("frame too large");
  }
  if (count != 1 && count != 3) return Fail("component count other than 1 or 3");

  components_.assign(count, JpegComponent{});
  int hMax = 1;
  int vMax = 1;
  for (JpegComponent& component : components_) {
    component.id = static_cast<int>(GetBits(8));
    component.h = static_cast<int>(GetBits(4));
    component.v = static_cast<int>(GetBits(4));
    component.tq = static_cast<int>(GetBits(8));
    const auto valid = [](int f) { return f == 1 || f == 2 || f == 4; };
    if (!valid(component.h) || !valid(component.v)) return Fail("sampling factor not 1, 2 or 4");
    if (component.tq > 3) return Fail("quantisation table selector above 3");
    // With one component the sampling factors mean nothing (a lone component's scan is one
    // block per MCU); treating them as 1 keeps the block order right.
    if (count == 1) component.h = component.v = 1;
    hMax = std::max(hMax, component.h);
    vMax = std::max(vMax, component.v);
  }
  width_ = width;
  height_ = height;
  mcusPerRow_ = ((width + hMax - 1) / hMax + 7) / 8;
  mcuRows_ = ((height + vMax - 1) / vMax + 7) / 8;
  for (JpegComponent& component : components_) {
    component.log2H = Log2(component.h);
    component.log2V = Log2(component.v);
    component.stride = std::size_t(mcusPerRow_) * 8 * component.h;
  }
  const JpegRowSink::Take take = sink_ ? sink_->Start(*this) : JpegRowSink::Take::kWholePlanes;
  if (take == JpegRowSink::Take::kNothing) {
    components_.clear();
    return Fail("not enough memory for the picture");
  }
  streaming_ = take == JpegRowSink::Take::kRows;
  const std::size_t planeMcuRows = streaming_ ? 1 : std::size_t(mcuRows_);
  try {
    for (JpegComponent& component : components_) {
      component.plane.assign(component.stride * planeMcuRows * 8 * component.v, kUnreachedSample);
    }
  } catch (const std::bad_alloc&) {
    components_.clear();
    return Fail("not enough memory for the picture");
  }
  frameRead_ = true;
  return true;
}

bool JpegDecoder::ReadScanHeader() {
  if (!frameRead_) return Fail("scan without a frame");
  // The one scan codes every component; another one could only decode the whole frame again,
  // and a small file of repeated scan headers would keep the decoder busy for hours.
  if (scanDecoded_) return Fail("second scan");
  GetBits(16);  // Ls
  const std::size_t count = GetBits(8);
  // Only one interleaved scan of every component is decoded; anything else would leave planes
  // half written.
  if (count != components_.size()) return Fail("scan does not code every component");
  scan_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    const int id = static_cast<int>(GetBits(8));
    const int td = static_cast<int>(GetBits(4));
    const int ta = static_cast<int>(GetBits(4));
    JpegComponent* found = nullptr;
    for (JpegComponent& component : components_) {
      if (component.id == id) {
        found = &component;
        break;
      }
    }
    if (!found) return Fail("scan names a component the frame lacks");
    for (const JpegComponent* other : scan_) {
      if (other == found) return Fail("scan names a component twice");
    }
    if (td > 1 || ta > 1) return Fail("Huffman table selector above 1");
    found->td = td;
    found->ta = ta;
    scan_.push_back(found);
  }
  GetBits(16);  // Ss, Se: always 0 and 63 in baseline
  GetBits(8);   // Ah, Al
  return true;
}

bool JpegDecoder::ReadQuantTables() {
  int remaining = static_cast<int>(GetBits(16)) - 2;
  while (remaining > 0) {
    const uint32_t pq = GetBits(4);
    const uint32_t tq = GetBits(4);
    if (pq > 1 || tq > 3) return Fail("quantisation table precision above 1 or selector above 3");
    const int bits = pq ? 16 : 8;
    for (int16_t& entry : quant_[tq]) entry = static_cast<int16_t>(GetBits(bits));
    remaining -= pq ? 129 : 65;
  }
  return true;
}

bool JpegDecoder::ReadHuffmanTables() {
  int remaining = static_cast<int>(GetBits(16)) - 2;
  while (remaining > 0) {
    const uint32_t tc = GetBits(4);
    const uint32_t th = GetBits(4);
    if (tc > 1 || th > 1) return Fail("Huffman table class or selector above 1");
    std::array<uint8_t, 16> counts;
    int total = 0;
    for (uint8_t& count : counts) {
      count = static_cast<uint8_t>(GetBits(8));
      total += count;
    }
    std::vector<uint8_t> symbols(total);
    for (uint8_t& symbol : symbols) symbol = static_cast<uint8_t>(GetBits(8));
    HuffmanLookup& lookup = tc == 0 ? dc_[th] : ac_[th];
    if (!lookup.Build(counts, symbols)) return Fail("Huffman code lengths overfill the table");
    if (tc == 1) acFast_[th].Build(lookup);
    remaining -= 17 + total;
  }
  return true;
}

void JpegDecoder::ResetPredictors() {
  for (JpegComponent& component : components_) component.predictor = 0;
}

// Inlined into the scan loop so that the reader's state stays in registers.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline int
JpegDecoder::DecodeBlock(State& s, int16_t block[64], const JpegComponent& component,
                         int16_t& predictor) {
  // Every code is read from a window of at least 25 bits (FillWindow below 32), enough for any
  // code, and for a code and its value together whenever the window was filled in one piece.
  const int16_t* quant = quant_[component.tq].data();
  if (s.bitCount < 32) FillWindow(s);
  {
    const uint32_t entry = dc_[component.td].Find(static_cast<uint32_t>(s.window >> 32));
    const int length = static_cast<int>(entry >> 16) & 0x1F;
    const int dcSize = static_cast<int>(entry & 0xFF);
    if (dcSize > 16) {
      return Fail("DC difference longer than 16 bits") ? 0 : -1;
    }
    if (dcSize) {
      predictor = static_cast<int16_t>(predictor + CodeAndValue(s, length, dcSize));
    } else if (length) {
      Consume(s, length);
    }
  }
  block[0] = static_cast<int16_t>(quant[0] * predictor);

  const HuffmanLookup& ac = ac_[component.ta];
  const FastAcLookup& fast = acFast_[component.ta];
  int k = 0;
  int last = 0;  // zig-zag index of the last coefficient written
  for (;;) {
    if (s.bitCount < 32) FillWindow(s);
    const int32_t shortcut = fast.Find(s.window);
    int symbol;
    int value = 0;
    if (shortcut != 0) {
      // Code and value in one: the common case.
      symbol = (shortcut >> 8) & 0xFF;
      value = shortcut >> 16;
      Consume(s, shortcut & 0xFF);
      if (symbol & 15) {
        k += (symbol >> 4) + 1;
        if (k > 63) return Fail("coefficient index past 63") ? 0 : -1;
        block[kNaturalOrder[k]] = static_cast<int16_t>(quant[k] * value);
        last = k;
        if (k == 63) break;
        continue;
      }
    } else {
      const uint32_t entry = ac.Find(static_cast<uint32_t>(s.window >> 32));
      const int length = static_cast<int>(entry >> 16) & 0x1F;
      symbol = static_cast<int>(entry & 0xFF);
      const int size = symbol & 15;
      if (size) {
        k += (symbol >> 4) + 1;
        if (k > 63) return Fail("coefficient index past 63") ? 0 : -1;
        value = CodeAndValue(s, length, size);
        block[kNaturalOrder[k]] = static_cast<int16_t>(quant[k] * value);
        last = k;
        if (k == 63) break;
        continue;
      }
      if (length) Consume(s, length);
    }
    if (symbol == 0x00) break;  // EOB (or no code at all, which drops no bits)
    // ZRL: sixteen zeros; other runs of size 0 are not baseline and code zeros too. Zeros are
    // never stored (the cleared block holds them), so a run that carries the index past 63
    // harms nothing and the end-of-block after it completes the block. Only a coefficient
    // stored past 63 is damage, and so is a further run once the index is past 63, which
    // nothing but damage writes (and which would otherwise loop for ever on a stream that
    // reads as zero bits to its end).
    if (k > 63) return Fail("zero run past the end of the block") ? 0 : -1;
    k += symbol == 0xF0 ? 16 : (symbol >> 4) + 1;
  }
  return last;
}

void JpegDecoder::StoreState(State s) {
  // The reads outside the entropy decoder expect at least 25 bits.
  if (s.bitCount <= 24) FillWindow(s);
  CurrentState() = s;
}

void JpegDecoder::FinishUnreachedRows(int row, int column) {
  for (JpegComponent& component : components_) {
    const std::size_t done = std::size_t(column + 1) << (component.log2H + 3);
    for (std::size_t y = 0; y < std::size_t(8) << component.log2V; ++y) {
      std::fill(component.plane.begin() + y * component.stride + done,
                component.plane.begin() + (y + 1) * component.stride, kUnreachedSample);
    }
  }
  sink_->Row(*this, row);
  for (JpegComponent& component : components_) {
    std::fill(component.plane.begin(), component.plane.end(), kUnreachedSample);
  }
  for (int next = row + 1; next < mcuRows_; ++next) sink_->Row(*this, next);
}

bool JpegDecoder::DecodeScan() {
  ResetPredictors();
  // The reader's position lives in a local copy for the whole scan, so that it stays in
  // registers across the coefficient stores and the inverse DCT; it goes back to the reader
  // for the restart markers.
  State s = CurrentState();
  int counter = 0;
  // Zero between blocks: the transforms clear what they read.
  alignas(16) int16_t block[64] = {};
  for (int row = 0; row < mcuRows_; ++row) {
    const int planeRow = streaming_ ? 0 : row;
    for (int column = 0; column < mcusPerRow_; ++column) {
      for (JpegComponent* component : scan_) {
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(component->stride);
        uint8_t* mcu = component->plane.data() +
                       stride * (std::ptrdiff_t(planeRow) << (component->log2V + 3)) +
                       (std::ptrdiff_t(column) << (component->log2H + 3));
        for (int by = 0; by < component->v; ++by) {
          for (int bx = 0; bx < component->h; ++bx) {
            const int last = DecodeBlock(s, block, *component, component->predictor);
            if (last < 0) {
              StoreState(s);
              return false;
            }
            block[0] = static_cast<int16_t>(block[0] + 1024);  // level shift
            uint8_t* destination = mcu + stride * 8 * by + 8 * bx;
            // Most blocks of photographs end early in zig-zag order; the shorter transforms
            // give the same samples.
            if (last == 0) {
              StoreFlatBlock(block[0], destination, stride);
              block[0] = 0;
            } else if (last <= 9) {
              InverseDctAndStore4x4(block, destination, stride);
            } else {
              InverseDctAndStore(block, destination, stride);
            }
          }
        }
      }
      if (++counter == restartInterval_) {
        StoreState(s);
        AlignToByte();
        const bool last = row == mcuRows_ - 1 && column == mcusPerRow_ - 1;
        if (!last) {
          const uint32_t marker = GetBits(16);
          // Any RSTm is accepted: the number m is not checked against the sequence.
          if (marker >> 8 != jpeg_marker::kPrefix || !jpeg_marker::IsRst(marker & 0xFF)) {
            restartFault_ = true;
            if (restartMessage_) {
              char message[64];
              std::snprintf(message, sizeof message, "Going Out value=%04X rs_int=%d", marker,
                            restartInterval_);
              restartMessage_(message);
            }
            scanDecoded_ = true;
            EndEntropyData();  // the state is stored
            if (streaming_) FinishUnreachedRows(row, column);
            return true;
          }
        }
        ResetPredictors();
        counter = 0;
        s = CurrentState();
      }
    }
    if (streaming_) sink_->Row(*this, row);
  }
  StoreState(s);
  scanDecoded_ = true;
  EndEntropyData();
  return true;
}

}  // namespace lumafolio
