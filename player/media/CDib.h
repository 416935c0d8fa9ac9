#pragma once

#include <windows.h>

#include <cstdint>

namespace lumafolio {

// One device-independent bitmap in a single block of movable global memory, laid out like a
// .BMP file: file header, info header, then the pixel rows. The JPEG conversion fills it; the
// show draws it as a device bitmap or takes a packed copy. It knows nothing of JPEG.
class CDib {
 public:
  CDib() = default;
  CDib(const CDib&) = delete;
  CDib& operator=(const CDib&) = delete;
  virtual ~CDib();

  // The filler sets the block's size first, then allocates it.
  void SetSize(uint32_t size) { size_ = size; }
  uint32_t Size() const { return size_; }
  // Allocates and locks a zeroed block of Size() bytes. On failure tells the user "Unable to
  // allocate DIB memory", empties the object and returns false. A block held before is not freed.
  bool AllocateDibMemory();
  // Once the filler has written the headers: where the pixel rows start, and their bit count.
  void SetBits(uint32_t offset, int32_t bitCount);

  uint8_t* Memory() const { return memory_; }
  const BITMAPFILEHEADER* FileHeader() const { return fileHeader_; }
  const BITMAPINFOHEADER* InfoHeader() const { return infoHeader_; }
  const uint8_t* Bits() const { return bits_; }
  int32_t BitCount() const { return bitCount_; }

  // A device-dependent bitmap of the picture on `dc` (or the screen); the caller owns it.
  HBITMAP CreateDeviceBitmap(HDC dc) const;
  // A fixed global block holding everything after the file header (a packed DIB), or none.
  // The caller frees it.
  HGLOBAL CopyPackedDib() const;

 private:
  uint8_t* memory_ = nullptr;
  uint32_t size_ = 0;
  int32_t bitCount_ = 0;
  BITMAPFILEHEADER* fileHeader_ = nullptr;
  BITMAPINFOHEADER* infoHeader_ = nullptr;
  BITMAPINFO* bitmapInfo_ = nullptr;
  uint8_t* bits_ = nullptr;
};

}  // namespace lumafolio
