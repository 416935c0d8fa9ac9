#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {

// Reads a JPEG stream as bits, most significant first, out of either a byte span held by the
// caller or a stdio stream read in chunks from its current position. Outside the entropy-coded
// data the window is refilled a byte at a time and always holds 25 to 32 valid bits, so any
// read of up to 16 bits (and any Huffman code) is served without a further check. Past the end
// of the data the reader delivers zero bytes for ever: a truncated picture decodes its
// remaining blocks from zero bits instead of failing.
class JpegBitReader {
 public:
  // The bytes must outlive the reader.
  explicit JpegBitReader(std::span<const uint8_t> bytes);
  // The file is not owned; reading starts at its current position.
  JpegBitReader(std::FILE* file, std::size_t chunkSize);
  virtual ~JpegBitReader();

  JpegBitReader(const JpegBitReader&) = delete;
  JpegBitReader& operator=(const JpegBitReader&) = delete;

  // 1 <= n <= 16.
  uint32_t GetBits(int n) {
    const uint32_t value = PeekBits(n);
    SkipBits(n);
    return value;
  }
  void SkipBits(int n) { Skip(state_, n); }
  uint32_t PeekBits(int n) const { return static_cast<uint32_t>(state_.window >> (64 - n)); }
  uint32_t Window() const { return static_cast<uint32_t>(state_.window >> 32); }
  void AlignToByte() {
    if (state_.bitCount % 8 != 0) SkipBits(state_.bitCount % 8);
  }
  // Drops n bytes of a marker segment. Between segments every read is byte-aligned, so the
  // window then holds exactly four whole bytes.
  void SkipBytes(std::size_t n);
  // From the first scan on, 0xFF 0x00 in the stream is one data byte 0xFF.
  void StartUnstuffing() { unstuffing_ = true; }
  int BitCount() const { return state_.bitCount; }

 protected:
  // The reading position as one value, so that the entropy decoder can keep it in registers
  // for a whole block (copy it out, work on the copy, store it back). The valid bits sit at the
  // top of the window; below them it may hold the first bits of the byte at `position`.
  struct State {
    uint64_t window = 0;
    int bitCount = 0;
    std::size_t position = 0;
    std::size_t available = 0;
    const uint8_t* data = nullptr;  // the current chunk (file) or the caller's bytes
  };
  State& CurrentState() { return state_; }

  void Skip(State& s, int n) {
    Consume(s, n);
    while (s.bitCount <= 24) LoadByte(s);
  }
  // Drops n bits the window holds (n <= bitCount) without refilling.
  static void Consume(State& s, int n) {
    s.window <<= n;
    s.bitCount -= n;
  }
  void LoadByte(State& s) {
    if (s.position == s.available) s = Refilled(s);
    const uint32_t byte = s.data[s.position++];
    if (byte == jpeg_marker::kPrefix && unstuffing_) {
      if (s.position == s.available) s = Refilled(s);
      if (s.data[s.position] == jpeg_marker::kStuffed) ++s.position;
    }
    s.window |= uint64_t{byte} << (56 - s.bitCount);
    s.bitCount += 8;
  }

  // The entropy decoder's refill, for a window of at most 56 bits: where the next eight bytes
  // of the chunk hold no 0xFF (no stuffing, no marker) it takes as many as fit at once and
  // leaves 57 to 64 bits; elsewhere it loads a byte at a time as above, up to 25 bits at least.
  //
  // Only whole runs of plain bytes are ever taken beyond the byte-wise window, so
  // EndEntropyData() can hand them back by moving the position: marker segments after the scan
  // are then skipped from exactly where the byte-wise reader would be.
  void FillWindow(State& s) {
    if (s.available - s.position >= 8) {
      uint64_t raw;
      std::memcpy(&raw, s.data + s.position, 8);
      // A byte of `raw` is 0xFF exactly when that byte of ~raw is zero.
      const uint64_t inverted = ~raw;
      if (((inverted - 0x0101010101010101u) & raw & 0x8080808080808080u) == 0) {
        if constexpr (std::endian::native == std::endian::little) raw = ByteSwap(raw);
        s.window |= raw >> s.bitCount;
        const int bytes = (64 - s.bitCount) >> 3;
        s.position += static_cast<std::size_t>(bytes);
        s.bitCount += 8 * bytes;
        return;
      }
    }
    s = FilledByteWise(s);
  }
  // Gives back the whole bytes beyond the byte-wise window (see FillWindow).
  void EndEntropyData();

 private:
  static uint64_t ByteSwap(uint64_t v) {
#if defined(__GNUC__)
    return __builtin_bswap64(v);
#else
    uint64_t r = 0;
    for (int i = 0; i < 8; ++i) r = r << 8 | ((v >> (8 * i)) & 0xFF);
    return r;
#endif
  }
  // `s` with the next chunk loaded (out of line: rare).
  State Refilled(State s);
  // FillWindow's slower way, out of line and by value so that the entropy decoder's state is
  // never addressed and stays in registers.
  State FilledByteWise(State s);
  void Refill();
  void FillFromEmpty();

  State state_;
  bool unstuffing_ = false;
  std::FILE* file_ = nullptr;
  std::size_t chunkSize_ = 0;
  std::unique_ptr<uint8_t[]> chunk_;
  // What the reader serves once the data is exhausted: zero bytes, four at a time.
  uint8_t zeros_[4] = {0, 0, 0, 0};
  bool exhausted_ = false;
};

}  // namespace lumafolio
