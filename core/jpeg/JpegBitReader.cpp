#include "core/jpeg/JpegBitReader.h"

#include <algorithm>

namespace lumafolio {

JpegBitReader::JpegBitReader(std::span<const uint8_t> bytes) {
  state_.data = bytes.data();
  state_.available = bytes.size();
  if (bytes.empty()) Refill();
  FillFromEmpty();
}

JpegBitReader::JpegBitReader(std::FILE* file, std::size_t chunkSize)
    : file_(file), chunkSize_(std::max<std::size_t>(chunkSize, 1)) {
  chunk_ = std::make_unique<uint8_t[]>(chunkSize_);
  Refill();
  FillFromEmpty();
}

JpegBitReader::~JpegBitReader() = default;

void JpegBitReader::Refill() {
  state_.position = 0;
  if (file_ && !exhausted_) {
    const std::size_t got = std::fread(chunk_.get(), 1, chunkSize_, file_);
    if (got > 0) {
      state_.data = chunk_.get();
      state_.available = got;
      return;
    }
  }
  exhausted_ = true;
  state_.data = zeros_;
  state_.available = sizeof zeros_;
}

JpegBitReader::State JpegBitReader::Refilled(State s) {
  state_ = s;
  Refill();
  return state_;
}

void JpegBitReader::FillFromEmpty() {
  state_.window = 0;
  state_.bitCount = 0;
  while (state_.bitCount <= 24) LoadByte(state_);
}

JpegBitReader::State JpegBitReader::FilledByteWise(State s) {
  while (s.bitCount <= 24) LoadByte(s);
  return s;
}

void JpegBitReader::EndEntropyData() {
  // The byte-wise reader would hold 25 to 32 bits; the bytes beyond are plain bytes of this
  // chunk, taken in one piece right before `position`.
  const int extra = static_cast<int>(std::min<std::size_t>(
      state_.bitCount > 32 ? (state_.bitCount - 25) >> 3 : 0, state_.position));
  state_.position -= static_cast<std::size_t>(extra);
  state_.bitCount -= 8 * extra;
  state_.window &= ~uint64_t{0} << (64 - state_.bitCount);
}

void JpegBitReader::SkipBytes(std::size_t n) {
  if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) SkipBits(8);
    return;
  }
  // The window's four bytes are the first four of the n; the rest come out of the buffer,
  // chunk after chunk when the segment is longer than what is left of this one.
  std::size_t rest = n - 4;
  while (rest > state_.available - state_.position && !exhausted_) {
    rest -= state_.available - state_.position;
    Refill();
  }
  state_.position =
      exhausted_ ? std::min(state_.position + rest, state_.available) : state_.position + rest;
  FillFromEmpty();
}

}  // namespace lumafolio
