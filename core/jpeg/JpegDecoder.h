#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/jpeg/HuffmanLookup.h"
#include "core/jpeg/JpegBitReader.h"

namespace lumafolio {

// One frame component and its decoded samples.
struct JpegComponent {
  int id = 0;
  int h = 1;  // sampling factors: 1, 2 or 4
  int v = 1;
  int log2H = 0;
  int log2V = 0;
  int tq = 0;  // quantisation table
  int td = 0;  // DC and AC Huffman tables, set by the scan header
  int ta = 0;
  int16_t predictor = 0;
  // (MCU rows * 8 * v) rows of `stride` = MCUs per row * 8 * h bytes.
  std::vector<uint8_t> plane;
  std::size_t stride = 0;
};

// Pictures beyond these are refused before anything is allocated for them.
struct JpegLimits {
  int maxSide = 16384;
  int64_t maxPixels = int64_t{1} << 26;  // 64 megapixels, e.g. 8192 x 8192
};

class JpegDecoder;

// Takes the decoded samples an MCU row at a time, so that a picture can be converted while it
// is decoded instead of being held in whole planes first.
class JpegRowSink {
 public:
  // How the sink takes a picture, told once its frame header has been read.
  enum class Take {
    kRows,         // as they come: the planes hold a single MCU row, the one being decoded
    kWholePlanes,  // not at all: whole planes, as without a sink
    kNothing,      // no room for it: ParseMarkers fails at once, "not enough memory ..."
  };

  virtual ~JpegRowSink() = default;
  // Called once the frame header has been read (size and components known, planes not yet
  // allocated).
  virtual Take Start(const JpegDecoder& decoder) = 0;
  // MCU row `row` is complete in the planes. Every row comes once, in order; when a restart
  // fault ends the scan early, the undecoded MCUs and rows come as mid-grey samples (128),
  // which is what whole planes would hold.
  virtual void Row(const JpegDecoder& decoder, int row) = 0;
};

// Decodes a baseline sequential JPEG (SOF0, Huffman, 8-bit samples, one interleaved scan of all
// components, restart intervals) into one byte plane per component.
//
// The input comes straight out of a downloaded program file and is trusted in nothing: any
// header or coefficient that would make the decoder read or write outside its tables or planes
// makes ParseMarkers fail for this picture instead. A stream that simply ends early decodes the
// rest of its scan from zero bits, like the rest of a damaged scan.
class JpegDecoder : public JpegBitReader {
 public:
  static constexpr std::size_t kDefaultChunkSize = 65536;

  explicit JpegDecoder(std::span<const uint8_t> bytes, JpegLimits limits = {});
  JpegDecoder(std::FILE* file, std::size_t chunkSize = kDefaultChunkSize, JpegLimits limits = {});

  // Reads markers up to EOI (or the first place where a marker should be and is not, or a
  // restart fault) and decodes the scan. True when a frame was read and a scan of all its
  // components decoded; otherwise FailureReason() says why.
  bool ParseMarkers();
  const std::string& FailureReason() const { return failure_; }

  // A wrong marker at a restart boundary ends the scan and the stream (nothing after it is
  // read); the picture keeps what was decoded up to there and is mid-grey beyond. The handler
  // (a message box in the player) gets "Going Out value=%04X rs_int=%d".
  void SetRestartMessageHandler(std::function<void(const std::string&)> handler) {
    restartMessage_ = std::move(handler);
  }
  bool HadRestartFault() const { return restartFault_; }

  // Set before ParseMarkers; the sink must outlive the decoding.
  void SetRowSink(JpegRowSink* sink) { sink_ = sink; }
  // Whether the sink took the rows (the planes hold one MCU row).
  bool Streaming() const { return streaming_; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int McusPerRow() const { return mcusPerRow_; }
  int McuRows() const { return mcuRows_; }
  int RestartInterval() const { return restartInterval_; }
  const std::vector<JpegComponent>& Components() const { return components_; }
  const int16_t* QuantTable(int index) const { return quant_[index].data(); }
  const HuffmanLookup& DcLookup(int index) const { return dc_[index]; }
  const HuffmanLookup& AcLookup(int index) const { return ac_[index]; }

 private:
  bool Fail(const char* reason);
  bool ReadFrameHeader();
  bool ReadScanHeader();
  bool ReadQuantTables();
  bool ReadHuffmanTables();
  bool DecodeScan();
  // The zig-zag index of the last AC coefficient written (0 when only the DC term is), -1 when
  // the stream is corrupt.
  int DecodeBlock(State& s, int16_t block[64], const JpegComponent& component, int16_t& predictor);
  // Hands the scan's reading position back to the reader (by value, so that the position the
  // scan loop works on never has its address taken and can stay in registers).
  void StoreState(State s);
  // After a restart fault at MCU (row, column) while streaming: the rest of the picture as the
  // mid-grey samples whole planes would hold.
  void FinishUnreachedRows(int row, int column);
  void ResetPredictors();
  // The n-bit value after a code, 1 <= n <= 16, from a window holding it: a leading 1 bit
  // gives the bits as they are, a leading 0 the negative value bits - (2^n - 1).
  static int Extend(State& s, int n) {
    const bool positive = (s.window >> 63) != 0;
    const int value = static_cast<int>(s.window >> (64 - n));
    Consume(s, n);
    return positive ? value : value - ((1 << n) - 1);
  }
  // A code of `length` bits and the n-bit value after it, from a window of at least 25 bits.
  int CodeAndValue(State& s, int length, int n) {
    Consume(s, length);
    if (s.bitCount < n) FillWindow(s);  // at least 25 bits again, enough for the value
    return Extend(s, n);
  }

  JpegLimits limits_;
  std::vector<JpegComponent> components_;
  int mcusPerRow_ = 0;
  int mcuRows_ = 0;
  int width_ = 0;
  int height_ = 0;
  int restartInterval_ = 0;
  std::array<std::array<int16_t, 64>, 4> quant_{};
  std::array<HuffmanLookup, 2> dc_;
  std::array<HuffmanLookup, 2> ac_;
  std::array<FastAcLookup, 2> acFast_;
  std::vector<JpegComponent*> scan_;
  bool frameRead_ = false;
  bool scanDecoded_ = false;
  bool restartFault_ = false;
  JpegRowSink* sink_ = nullptr;
  bool streaming_ = false;
  std::string failure_;
  std::function<void(const std::string&)> restartMessage_;
};

}  // namespace lumafolio
