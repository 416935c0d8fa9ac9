#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumafolio::fuzz {

// Reads a fuzz input as a stream of small decisions. Past the end every read gives zeros, so that
// any prefix of an input still means something and the fuzzer can grow inputs a byte at a time.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t Le16() { return Byte() | static_cast<uint32_t>(Byte()) << 8; }

  // Up to `count` bytes as they stand; fewer at the end of the input.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t taken = count < size_ - at_ ? count : size_ - at_;
    std::vector<uint8_t> bytes(data_ + at_, data_ + at_ + taken);
    at_ += taken;
    return bytes;
  }
  std::string Text(size_t count) {
    const std::vector<uint8_t> bytes = Bytes(count);
    return {bytes.begin(), bytes.end()};
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace lumafolio::fuzz
