#pragma once

#include <cstddef>
#include <cstdint>

namespace lumafolio {

// The 8x8 inverse DCT of the decoder: the Arai-Agui-Nakajima factorisation in 16-bit
// saturating fixed point, pre-scaled so that the only per-sample work after the two passes is
// a rounding shift. The block holds 64 dequantised coefficients in natural order, with the
// level shift (1024) already added to the DC term; on return it holds the samples.
//
// InverseDctScalar is the reference; InverseDct is the fastest form this build has (SSE2 on
// x86) and computes exactly the same values on every input.
void InverseDctScalar(int16_t block[64]);
void InverseDct(int16_t block[64]);

// Writes the eight rows of a transformed block, each value clamped to 0..255, at
// destination + r * stride.
void StoreBlockScalar(const int16_t block[64], uint8_t* destination, std::ptrdiff_t stride);
void StoreBlock(const int16_t block[64], uint8_t* destination, std::ptrdiff_t stride);

// InverseDct followed by StoreBlock; the block is left all zero, ready for the next one.
void InverseDctAndStore(int16_t block[64], uint8_t* destination, std::ptrdiff_t stride);

// InverseDctAndStore of a block whose non-zero values all lie in rows 0 to 3 and columns 0 to
// 3 (zig-zag positions 0 to 9 always do): the same result with the passes' known zeros left
// out. The block is left all zero.
void InverseDctAndStore4x4(int16_t block[64], uint8_t* destination, std::ptrdiff_t stride);

// InverseDct and StoreBlock of a block whose only non-zero value is the DC term `dc`: every
// sample of such a block comes out the same, so this writes the exact result without the
// passes.
void StoreFlatBlock(int16_t dc, uint8_t* destination, std::ptrdiff_t stride);

// Whether InverseDct runs the SIMD form in this build.
bool InverseDctIsSimd();

}  // namespace lumafolio
