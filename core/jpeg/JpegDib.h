#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/jpeg/JpegDecoder.h"

namespace lumafolio {

// The decoded picture as the image of a 24-bit .BMP file: the 14-byte file header, the 40-byte
// info header, bottom-up BGR rows and 1024 spare bytes after them (room for a colour table,
// which a 24-bit bitmap does not use; the block keeps them and biSizeImage counts them). The
// DIB is as wide as the frame rounded up to a multiple of 8; the extra columns show the
// decoded padding samples of the last MCU column.
struct DibLayout {
  uint32_t width = 0;      // W: the frame width rounded up to a multiple of 8
  uint32_t height = 0;     // the frame height
  uint32_t rowSize = 0;    // R = 3 W (a multiple of 4, since W is a multiple of 8)
  uint32_t totalSize = 0;  // S = R * height + 1078, also bfSize; biSizeImage is S - 54
};
constexpr uint32_t kDibHeaderSize = 54;
constexpr uint32_t kDibSpareSize = 1024;

DibLayout DibLayoutFor(int frameWidth, int frameHeight);

// Whether the decoded planes can become a DIB: one component (grey), or three whose chroma
// components are sampled alike and no more finely than luma (each chroma sample then serves 1,
// 2 or 4 pixels across and down). Anything else is refused with a reason.
bool CanConvertToDib(const JpegDecoder& decoder, std::string* reason = nullptr);

// Writes the whole block (DibLayoutFor(...).totalSize bytes) into `out`, spare bytes included.
// The decoder must have decoded a picture. False when the picture cannot be converted or `out`
// is too small; nothing is written then.
bool ConvertToDib(const JpegDecoder& decoder, std::span<uint8_t> out);

// Where a decode puts the bitmap: told the block's size (DibLayoutFor(...).totalSize) once the
// frame header has been read, the start of a block of that size, or null when there is no
// memory for one.
using DibAllocator = std::function<uint8_t*(uint32_t size)>;

// Decoding and conversion in one, with a decoder the caller has set up (its restart message
// handler, say), straight into the block `allocate` hands out: each MCU row is converted as
// soon as it is decoded, so neither whole planes nor a second copy of the bitmap are held.
// False with a reason when there is no block, or when the decoder or the conversion refuses
// the picture; the block may then have been partly written.
bool DecodeToDib(JpegDecoder& decoder, const DibAllocator& allocate, std::string* reason = nullptr);
// The same into a vector, from a decoder, bytes, or a stdio stream at its current position.
bool DecodeToDib(JpegDecoder& decoder, std::vector<uint8_t>& dib, std::string* reason = nullptr);
bool DecodeJpegToDib(std::span<const uint8_t> jpeg, std::vector<uint8_t>& dib,
                     std::string* reason = nullptr, const JpegLimits& limits = {});
bool DecodeJpegToDib(std::FILE* file, std::vector<uint8_t>& dib, std::string* reason = nullptr,
                     const JpegLimits& limits = {});

// One pixel of the JFIF YCbCr to RGB conversion, written as blue, green, red. The conversion
// above produces exactly the bytes of the double-precision formulas
//   B = Y + 1.772 (Cb - 128) + 0.5, G = Y - 0.34414 (Cb - 128) - 0.71414 (Cr - 128) + 0.5,
//   R = Y + 1.402 (Cr - 128) + 0.5, each clamped to 0..255 and truncated,
// which YccToBgrDouble evaluates directly; YccToBgr is the integer form the conversion uses.
void YccToBgrDouble(int y, int cb, int cr, uint8_t bgr[3]);
void YccToBgr(int y, int cb, int cr, uint8_t bgr[3]);
// `count` pixels (a multiple of 8) of one row with a chroma sample per pixel, converted the way
// the conversion above does it (its SIMD form where the build has one) into 3 * count bytes.
void YccRowToBgr(std::span<const uint8_t> y, std::span<const uint8_t> cb,
                 std::span<const uint8_t> cr, std::span<uint8_t> bgr);

}  // namespace lumafolio
