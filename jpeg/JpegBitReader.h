#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

namespace lumafolio {

// Reads a JPEG stream as bits, most significant first, out of either a byte span held by the
// caller or a stdio stream read in chunks from its current position. The 32-bit window always
// holds 25 to 32 valid bits, so any read of up to 16 bits (and any Huffman code) is served
// without a further check. Past the end of the data the reader delivers zero bytes for ever:
// a truncated picture decodes its remaining blocks from zero bits instead of failing.
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
    const uint32_t value = state_.window >> (32 - n);
    SkipBits(n);
    return value;
  }
  void SkipBits(int n) { Skip(state_, n); }
  uint32_t PeekBits(int n) const { return state_.window >> (32 - n); }
  uint32_t Window() const { return state_.window; }
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
  // for a whole block (copy it out, work on the copy, store it back).
  struct State {
    uint32_t window = 0;
    int bitCount = 0;
    std::size_t position = 0;
    std::size_t available = 0;
    const uint8_t* data = nullptr;  // the current chunk (file) or the caller's bytes
  };
  State& CurrentState() { return state_; }

  void Skip(State& s, int n) {
    s.window <<= n;
    s.bitCount -= n;
    while (s.bitCount <= 24) LoadByte(s);
  }
  void LoadByte(State& s) {
    if (s.position == s.available) s = Refilled(s);
    const uint32_t byte = s.data[s.position++];
    if (byte == 0xFF && unstuffing_) {
      if (s.position == s.available) s = Refilled(s);
      if (s.data[s.position] == 0) ++s.position;
    }
    s.window |= byte << (24 - s.bitCount);
    s.bitCount += 8;
  }

 private:
  // `s` with the next chunk loaded (out of line: rare).
  State Refilled(State s);
  void Refill();
  void FillWindow();

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
