#include "core/jpeg/InverseDct.h"

#include <algorithm>
#include <cstring>

#include "core/Simd.h"

namespace lumafolio {
namespace {

// round(16384 * s_r * s_k * m) with the AAN scale factors s; m = 2 for row 6, 4 for row 7 and
// 2 for row 5, columns 4 to 7: those entries would otherwise be small enough to lose precision
// in the high-half multiply, so they are stored larger and pre-shifted less.
constexpr int16_t kPrescale[64] = {16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  //
                                   22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270,  //
                                   21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  //
                                   19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315,  //
                                   16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  //
                                   12873, 17855, 16819, 15137, 25746, 20228, 13933, 7103,  //
                                   17734, 24598, 23170, 20853, 17734, 13933, 9598,  4893,  //
                                   18081, 25080, 23624, 21261, 18081, 14206, 9786,  4989};

// The pre-shift of each entry: 3 - log2(m).
constexpr int PrescaleShift(int index) {
  const int row = index / 8;
  const int column = index % 8;
  if (row == 7) return 1;
  if (row == 6) return 2;
  if (row == 5 && column >= 4) return 2;
  return 3;
}

inline int16_t Saturate(int value) {
  return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}
inline int16_t Add(int16_t a, int16_t b) { return Saturate(a + b); }
inline int16_t Sub(int16_t a, int16_t b) { return Saturate(a - b); }
// (a << n) within 16 bits, times c, high half of the 32-bit product (floor of product / 65536).
inline int16_t Mul(int16_t a, int16_t c, int n) {
  const int16_t shifted = static_cast<int16_t>(static_cast<uint16_t>(a) << n);
  return static_cast<int16_t>((static_cast<int32_t>(shifted) * c) >> 16);
}

// One 1-D pass over x[0], x[step], ..., x[7 * step].
void Transform1d(int16_t* x, int step) {
  const int16_t x0 = x[0], x1 = x[step], x2 = x[2 * step], x3 = x[3 * step];
  const int16_t x4 = x[4 * step], x5 = x[5 * step], x6 = x[6 * step], x7 = x[7 * step];

  const int16_t t10 = Add(x0, x4);
  const int16_t t11 = Sub(x0, x4);
  const int16_t t13 = Add(x2, x6);
  const int16_t t12 = Sub(Mul(Sub(x2, x6), 23170, 2), t13);
  const int16_t t0 = Add(t10, t13);
  const int16_t t3 = Sub(t10, t13);
  const int16_t t1 = Add(t11, t12);
  const int16_t t2 = Sub(t11, t12);

  const int16_t z13 = Add(x5, x3);
  const int16_t z10 = Sub(x5, x3);
  const int16_t z11 = Add(x1, x7);
  const int16_t z12 = Sub(x1, x7);
  const int16_t t7 = Add(z11, z13);
  const int16_t u11 = Mul(Sub(z11, z13), 23170, 2);
  const int16_t a = Mul(z10, 21407, 3);
  const int16_t b = Mul(z12, 17734, 2);
  const int16_t c = Mul(Sub(z10, z12), 25080, 1);
  const int16_t u12 = Sub(b, c);
  const int16_t u10 = Sub(c, a);
  const int16_t t6 = Sub(u12, t7);
  const int16_t t5 = Sub(u11, t6);
  const int16_t t4 = Add(u10, t5);

  x[0] = Add(t0, t7);
  x[7 * step] = Sub(t0, t7);
  x[1 * step] = Add(t1, t6);
  x[6 * step] = Sub(t1, t6);
  x[2 * step] = Add(t2, t5);
  x[5 * step] = Sub(t2, t5);
  x[4 * step] = Add(t3, t4);
  x[3 * step] = Sub(t3, t4);
}

#if LUMAFOLIO_SSE2

#if defined(__GNUC__)
#define LUMAFOLIO_INLINE [[gnu::always_inline]] inline
#else
#define LUMAFOLIO_INLINE inline
#endif

LUMAFOLIO_INLINE __m128i MulV(__m128i a, __m128i c, int n) {
  return _mm_mulhi_epi16(_mm_slli_epi16(a, n), c);
}

// The 1-D transform on eight lanes at once: v[i] holds input i of every lane.
LUMAFOLIO_INLINE void Transform8(__m128i v[8]) {
  const __m128i k23170 = _mm_set1_epi16(23170);
  const __m128i k21407 = _mm_set1_epi16(21407);
  const __m128i k17734 = _mm_set1_epi16(17734);
  const __m128i k25080 = _mm_set1_epi16(25080);

  const __m128i t10 = _mm_adds_epi16(v[0], v[4]);
  const __m128i t11 = _mm_subs_epi16(v[0], v[4]);
  const __m128i t13 = _mm_adds_epi16(v[2], v[6]);
  const __m128i t12 = _mm_subs_epi16(MulV(_mm_subs_epi16(v[2], v[6]), k23170, 2), t13);
  const __m128i t0 = _mm_adds_epi16(t10, t13);
  const __m128i t3 = _mm_subs_epi16(t10, t13);
  const __m128i t1 = _mm_adds_epi16(t11, t12);
  const __m128i t2 = _mm_subs_epi16(t11, t12);

  const __m128i z13 = _mm_adds_epi16(v[5], v[3]);
  const __m128i z10 = _mm_subs_epi16(v[5], v[3]);
  const __m128i z11 = _mm_adds_epi16(v[1], v[7]);
  const __m128i z12 = _mm_subs_epi16(v[1], v[7]);
  const __m128i t7 = _mm_adds_epi16(z11, z13);
  const __m128i u11 = MulV(_mm_subs_epi16(z11, z13), k23170, 2);
  const __m128i a = MulV(z10, k21407, 3);
  const __m128i b = MulV(z12, k17734, 2);
  const __m128i c = MulV(_mm_subs_epi16(z10, z12), k25080, 1);
  const __m128i u12 = _mm_subs_epi16(b, c);
  const __m128i u10 = _mm_subs_epi16(c, a);
  const __m128i t6 = _mm_subs_epi16(u12, t7);
  const __m128i t5 = _mm_subs_epi16(u11, t6);
  const __m128i t4 = _mm_adds_epi16(u10, t5);

  v[0] = _mm_adds_epi16(t0, t7);
  v[7] = _mm_subs_epi16(t0, t7);
  v[1] = _mm_adds_epi16(t1, t6);
  v[6] = _mm_subs_epi16(t1, t6);
  v[2] = _mm_adds_epi16(t2, t5);
  v[5] = _mm_subs_epi16(t2, t5);
  v[4] = _mm_adds_epi16(t3, t4);
  v[3] = _mm_subs_epi16(t3, t4);
}

// Transform8 for inputs 4 to 7 all zero, written out with those inputs folded away: a
// saturating add or subtract of zero returns the other operand unchanged, and 0 - x is kept as
// the saturating subtraction it was, so every output equals Transform8's bit for bit.
LUMAFOLIO_INLINE void Transform8Half(__m128i v[8]) {
  const __m128i k23170 = _mm_set1_epi16(23170);
  const __m128i k21407 = _mm_set1_epi16(21407);
  const __m128i k17734 = _mm_set1_epi16(17734);
  const __m128i k25080 = _mm_set1_epi16(25080);

  const __m128i t12 = _mm_subs_epi16(MulV(v[2], k23170, 2), v[2]);
  const __m128i t0 = _mm_adds_epi16(v[0], v[2]);
  const __m128i t3 = _mm_subs_epi16(v[0], v[2]);
  const __m128i t1 = _mm_adds_epi16(v[0], t12);
  const __m128i t2 = _mm_subs_epi16(v[0], t12);

  const __m128i z10 = _mm_subs_epi16(_mm_setzero_si128(), v[3]);
  const __m128i t7 = _mm_adds_epi16(v[1], v[3]);
  const __m128i u11 = MulV(_mm_subs_epi16(v[1], v[3]), k23170, 2);
  const __m128i a = MulV(z10, k21407, 3);
  const __m128i b = MulV(v[1], k17734, 2);
  const __m128i c = MulV(_mm_subs_epi16(z10, v[1]), k25080, 1);
  const __m128i u12 = _mm_subs_epi16(b, c);
  const __m128i u10 = _mm_subs_epi16(c, a);
  const __m128i t6 = _mm_subs_epi16(u12, t7);
  const __m128i t5 = _mm_subs_epi16(u11, t6);
  const __m128i t4 = _mm_adds_epi16(u10, t5);

  v[0] = _mm_adds_epi16(t0, t7);
  v[7] = _mm_subs_epi16(t0, t7);
  v[1] = _mm_adds_epi16(t1, t6);
  v[6] = _mm_subs_epi16(t1, t6);
  v[2] = _mm_adds_epi16(t2, t5);
  v[5] = _mm_subs_epi16(t2, t5);
  v[4] = _mm_adds_epi16(t3, t4);
  v[3] = _mm_subs_epi16(t3, t4);
}

LUMAFOLIO_INLINE void Transpose8(__m128i v[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]);
  const __m128i a1 = _mm_unpackhi_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]);
  const __m128i a3 = _mm_unpackhi_epi16(v[2], v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]);
  const __m128i a5 = _mm_unpackhi_epi16(v[4], v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]);
  const __m128i a7 = _mm_unpackhi_epi16(v[6], v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
  v[0] = _mm_unpacklo_epi64(b0, b4);
  v[1] = _mm_unpackhi_epi64(b0, b4);
  v[2] = _mm_unpacklo_epi64(b1, b5);
  v[3] = _mm_unpackhi_epi64(b1, b5);
  v[4] = _mm_unpacklo_epi64(b2, b6);
  v[5] = _mm_unpackhi_epi64(b2, b6);
  v[6] = _mm_unpacklo_epi64(b3, b7);
  v[7] = _mm_unpackhi_epi64(b3, b7);
}

// Transpose8 when lanes 4 to 7 of every row are zero: only the first four output rows are
// non-zero, and only they are computed (rows 4 to 7 become zero).
LUMAFOLIO_INLINE void Transpose8Half(__m128i v[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  v[0] = _mm_unpacklo_epi64(b0, b4);
  v[1] = _mm_unpackhi_epi64(b0, b4);
  v[2] = _mm_unpacklo_epi64(b1, b5);
  v[3] = _mm_unpackhi_epi64(b1, b5);
  v[4] = v[5] = v[6] = v[7] = _mm_setzero_si128();
}

// Row r of the block times its prescale entries, shifted left first by PrescaleShift (done as
// the low half of a multiply where the shift differs within the row).
LUMAFOLIO_INLINE __m128i PrescaleRow(const int16_t block[64], int r) {
  const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
  const __m128i scale = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPrescale + 8 * r));
  __m128i shifted;
  if (r < 5) {
    shifted = _mm_slli_epi16(row, 3);
  } else if (r == 5) {
    shifted = _mm_mullo_epi16(row, _mm_setr_epi16(8, 8, 8, 8, 4, 4, 4, 4));
  } else {
    shifted = _mm_slli_epi16(row, r == 6 ? 2 : 1);
  }
  return _mm_mulhi_epi16(shifted, scale);
}

// Pre-scale, both passes and the rounding shift; v[r] ends up holding sample row r.
LUMAFOLIO_INLINE void Idct8x8(const int16_t block[64], __m128i v[8]) {
  v[0] = PrescaleRow(block, 0);
  v[1] = PrescaleRow(block, 1);
  v[2] = PrescaleRow(block, 2);
  v[3] = PrescaleRow(block, 3);
  v[4] = PrescaleRow(block, 4);
  v[5] = PrescaleRow(block, 5);
  v[6] = PrescaleRow(block, 6);
  v[7] = PrescaleRow(block, 7);
  Transform8(v);  // columns: lane k of v[r] is row r, column k
  Transpose8(v);
  Transform8(v);  // rows
  Transpose8(v);
  const __m128i eight = _mm_set1_epi16(8);
  v[0] = _mm_srai_epi16(_mm_adds_epi16(v[0], eight), 4);
  v[1] = _mm_srai_epi16(_mm_adds_epi16(v[1], eight), 4);
  v[2] = _mm_srai_epi16(_mm_adds_epi16(v[2], eight), 4);
  v[3] = _mm_srai_epi16(_mm_adds_epi16(v[3], eight), 4);
  v[4] = _mm_srai_epi16(_mm_adds_epi16(v[4], eight), 4);
  v[5] = _mm_srai_epi16(_mm_adds_epi16(v[5], eight), 4);
  v[6] = _mm_srai_epi16(_mm_adds_epi16(v[6], eight), 4);
  v[7] = _mm_srai_epi16(_mm_adds_epi16(v[7], eight), 4);
}

// Clearing only the rows that can be non-zero is cheaper than a fill of the whole block.
LUMAFOLIO_INLINE void ClearRows(int16_t block[64], int rows) {
  for (int r = 0; r < rows; ++r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * r), _mm_setzero_si128());
  }
}

// Two rows of eight samples, the low and the high half of `rows`.
LUMAFOLIO_INLINE void StoreRowPair(__m128i rows, uint8_t* destination, std::ptrdiff_t stride) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), rows);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + stride),
                   _mm_unpackhi_epi64(rows, rows));
}

// The rounding shift of the second pass's output (v[k] holding column k of every row), the
// clamp to bytes and the eight stores. The transpose back to rows is done on the packed bytes,
// which takes fewer steps than on 16-bit values.
LUMAFOLIO_INLINE void RoundAndStoreColumns(__m128i v[8], uint8_t* destination,
                                           std::ptrdiff_t stride) {
  const __m128i eight = _mm_set1_epi16(8);
  v[0] = _mm_srai_epi16(_mm_adds_epi16(v[0], eight), 4);
  v[1] = _mm_srai_epi16(_mm_adds_epi16(v[1], eight), 4);
  v[2] = _mm_srai_epi16(_mm_adds_epi16(v[2], eight), 4);
  v[3] = _mm_srai_epi16(_mm_adds_epi16(v[3], eight), 4);
  v[4] = _mm_srai_epi16(_mm_adds_epi16(v[4], eight), 4);
  v[5] = _mm_srai_epi16(_mm_adds_epi16(v[5], eight), 4);
  v[6] = _mm_srai_epi16(_mm_adds_epi16(v[6], eight), 4);
  v[7] = _mm_srai_epi16(_mm_adds_epi16(v[7], eight), 4);
  // p0 holds columns 0 and 1 (rows 0 to 7 each), p1 columns 2 and 3, and so on.
  const __m128i p0 = _mm_packus_epi16(v[0], v[1]);
  const __m128i p1 = _mm_packus_epi16(v[2], v[3]);
  const __m128i p2 = _mm_packus_epi16(v[4], v[5]);
  const __m128i p3 = _mm_packus_epi16(v[6], v[7]);
  const __m128i t0 = _mm_unpacklo_epi8(p0, p1);  // c0 c2 of rows 0..7
  const __m128i t1 = _mm_unpackhi_epi8(p0, p1);  // c1 c3
  const __m128i t2 = _mm_unpacklo_epi8(p2, p3);  // c4 c6
  const __m128i t3 = _mm_unpackhi_epi8(p2, p3);  // c5 c7
  const __m128i u0 = _mm_unpacklo_epi8(t0, t1);  // c0 c1 c2 c3 of rows 0..3
  const __m128i u1 = _mm_unpackhi_epi8(t0, t1);  // ... of rows 4..7
  const __m128i u2 = _mm_unpacklo_epi8(t2, t3);  // c4 .. c7 of rows 0..3
  const __m128i u3 = _mm_unpackhi_epi8(t2, t3);  // ... of rows 4..7
  StoreRowPair(_mm_unpacklo_epi32(u0, u2), destination, stride);
  StoreRowPair(_mm_unpackhi_epi32(u0, u2), destination + 2 * stride, stride);
  StoreRowPair(_mm_unpacklo_epi32(u1, u3), destination + 4 * stride, stride);
  StoreRowPair(_mm_unpackhi_epi32(u1, u3), destination + 6 * stride, stride);
}

#endif

}  // namespace

void InverseDctScalar(int16_t block[64]) {
  for (int i = 0; i < 64; ++i) block[i] = Mul(block[i], kPrescale[i], PrescaleShift(i));
  for (int column = 0; column < 8; ++column) Transform1d(block + column, 8);
  for (int row = 0; row < 8; ++row) Transform1d(block + 8 * row, 1);
  for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(Add(block[i], 8) >> 4);
}

void StoreFlatBlock(int16_t dc, uint8_t* destination, std::ptrdiff_t stride) {
  // Alone in its column and row, x0 passes through both transforms unchanged (every
  // butterfly adds or subtracts zero to it, every multiply gets zero).
  const int16_t sample = static_cast<int16_t>(Add(Mul(dc, kPrescale[0], PrescaleShift(0)), 8) >> 4);
  const uint8_t byte = static_cast<uint8_t>(std::clamp<int>(sample, 0, 255));
  for (int row = 0; row < 8; ++row) std::memset(destination + row * stride, byte, 8);
}

void StoreBlockScalar(const int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) {
      destination[row * stride + column] =
          static_cast<uint8_t>(std::clamp<int>(block[8 * row + column], 0, 255));
    }
  }
}

#if LUMAFOLIO_SSE2

void InverseDct(int16_t block[64]) {
  __m128i v[8];
  Idct8x8(block, v);
  for (int r = 0; r < 8; ++r) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * r), v[r]);
}

void StoreBlock(const int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  for (int r = 0; r < 8; ++r) {
    const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + r * stride),
                     _mm_packus_epi16(row, row));
  }
}

void InverseDctAndStore(int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  __m128i v[8];
  v[0] = PrescaleRow(block, 0);
  v[1] = PrescaleRow(block, 1);
  v[2] = PrescaleRow(block, 2);
  v[3] = PrescaleRow(block, 3);
  v[4] = PrescaleRow(block, 4);
  v[5] = PrescaleRow(block, 5);
  v[6] = PrescaleRow(block, 6);
  v[7] = PrescaleRow(block, 7);
  Transform8(v);
  Transpose8(v);
  Transform8(v);
  RoundAndStoreColumns(v, destination, stride);
  ClearRows(block, 8);
}

void InverseDctAndStore4x4(int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  // Rows 4 to 7 are zero, so the column pass has zero inputs 4 to 7; columns 4 to 7 are zero
  // too, so its outputs are zero in lanes 4 to 7, and after the transpose the row pass has
  // zero inputs 4 to 7 as well.
  __m128i v[8];
  v[0] = PrescaleRow(block, 0);
  v[1] = PrescaleRow(block, 1);
  v[2] = PrescaleRow(block, 2);
  v[3] = PrescaleRow(block, 3);
  Transform8Half(v);
  Transpose8Half(v);
  Transform8Half(v);
  RoundAndStoreColumns(v, destination, stride);
  ClearRows(block, 4);
}

bool InverseDctIsSimd() { return true; }

#else

void InverseDct(int16_t block[64]) { InverseDctScalar(block); }

void StoreBlock(const int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  StoreBlockScalar(block, destination, stride);
}

void InverseDctAndStore(int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  InverseDctScalar(block);
  StoreBlockScalar(block, destination, stride);
  std::fill(block, block + 64, int16_t{0});
}

void InverseDctAndStore4x4(int16_t block[64], uint8_t* destination, std::ptrdiff_t stride) {
  InverseDctAndStore(block, destination, stride);
}

bool InverseDctIsSimd() { return false; }

#endif

}  // namespace lumafolio
