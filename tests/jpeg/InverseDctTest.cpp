// The inverse DCT: the fixed-point reference against the mathematical transform, its
// saturating edge cases, and the SIMD form against the reference on every kind of input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>

#include "core/jpeg/InverseDct.h"

namespace lumafolio {
namespace {

using Block = std::array<int16_t, 64>;

std::array<uint8_t, 64> Stored(Block block, bool simd) {
  std::array<uint8_t, 64> out{};
  if (simd) {
    InverseDct(block.data());
    StoreBlock(block.data(), out.data(), 8);
  } else {
    InverseDctScalar(block.data());
    StoreBlockScalar(block.data(), out.data(), 8);
  }
  return out;
}

// The 8x8 inverse DCT by its defining sum in double precision, with the level shift carried by
// the DC term.
std::array<double, 64> ExactIdct(const Block& block) {
  std::array<double, 64> out{};
  const double pi = std::acos(-1.0);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0;
      for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
          const double cu = u ? 1 : std::sqrt(0.5);
          const double cv = v ? 1 : std::sqrt(0.5);
          sum += cu * cv * block[8 * v + u] * std::cos((2 * x + 1) * u * pi / 16) *
                 std::cos((2 * y + 1) * v * pi / 16);
        }
      }
      out[8 * y + x] = sum / 4;
    }
  }
  return out;
}

TEST(InverseDct, DcAloneGivesFlatBlocks) {
  for (bool simd : {false, true}) {
    SCOPED_TRACE(simd);
    Block block{};
    block[0] = 1024;
    for (uint8_t sample : Stored(block, simd)) ASSERT_EQ(sample, 128);
    block[0] = 2040;  // 1024 + 8 * 127
    for (uint8_t sample : Stored(block, simd)) ASSERT_EQ(sample, 255);
    // Up to 4095 the pre-shift keeps every bit; beyond it the 16-bit shift drops the top bits,
    // as the arithmetic defines (no sound stream gets there: its DC stays within 0..2040).
    for (int16_t dc : {2048, 3000, 4095}) {
      block[0] = dc;
      for (uint8_t sample : Stored(block, simd)) ASSERT_EQ(sample, 255) << dc;
    }
    for (int16_t dc : {0, -1, -500, -4096}) {
      block[0] = dc;
      for (uint8_t sample : Stored(block, simd)) ASSERT_EQ(sample, 0) << dc;
    }
  }
}

TEST(InverseDct, StaysCloseToTheExactTransform) {
  // Dense blocks of coefficients as a high-quality picture makes them. Each pre-scaled
  // coefficient carries 1/16 of a level of resolution, so dense blocks come out up to 3 levels
  // off in single samples, without bias; a wrong table entry, constant or butterfly would be
  // off by far more, or one way.
  std::mt19937 random(1);
  int worst = 0;
  long long differences = 0;
  double bias = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    Block block{};
    // Magnitudes fall with frequency, as in photographs at high quality.
    const int range = trial % 3 == 0 ? 1023 : trial % 3 == 1 ? 300 : 60;
    for (int i = 0; i < 64; ++i) {
      const int limit = range / (1 + i / 8 + i % 8);
      if (random() % 3 == 0) continue;
      block[i] = static_cast<int16_t>(static_cast<int>(random() % (2 * limit + 1)) - limit);
    }
    block[0] = static_cast<int16_t>(std::clamp(block[0] + 1024, 0, 2040));
    const std::array<double, 64> exact = ExactIdct(block);
    Block ours = block;
    InverseDctScalar(ours.data());
    for (int i = 0; i < 64; ++i) {
      const double rounded = std::floor(exact[i] + 0.5);
      const int difference = static_cast<int>(std::abs(ours[i] - rounded));
      worst = std::max(worst, difference);
      differences += difference != 0;
      bias += ours[i] - rounded;
    }
  }
  bias /= 3000 * 64;
  std::printf("worst %d, %lld of %d samples differ, mean %.3f\n", worst, differences, 3000 * 64,
              bias);
  EXPECT_LE(worst, 3);
  EXPECT_LT(std::abs(bias), 0.1);
}

TEST(InverseDct, SaturatesInsteadOfWrapping) {
  // Row 0 alone, small enough for the pre-scale, large enough that y0 = t0 + t7 of the row
  // pass comes to 42871: saturated it stays the brightest sample, wrapped it would be black.
  for (bool simd : {false, true}) {
    Block block{};
    for (int index : {0, 1, 2, 4, 6}) block[index] = 4095;
    Block ours = block;
    simd ? InverseDct(ours.data()) : InverseDctScalar(ours.data());
    for (int r = 0; r < 8; ++r) EXPECT_EQ(ours[8 * r], 2047) << simd;  // (32767 + 8) >> 4
    EXPECT_EQ(Stored(block, simd)[0], 255);
  }
}

TEST(InverseDct, SimdEqualsScalarOnEveryKindOfInput) {
  if (!InverseDctIsSimd()) GTEST_SKIP() << "no SIMD form in this build";
  std::mt19937 random(7);
  const int16_t extremes[] = {32767, -32768, 32766, -32767, 16384, -16384, 4096,
                              -4096, 4095,   -4097, 0,      1,     -1};
  for (int trial = 0; trial < 200000; ++trial) {
    Block block{};
    switch (trial % 5) {
      case 0:  // anything at all
        for (int16_t& v : block) v = static_cast<int16_t>(random());
        break;
      case 1:  // extremes everywhere: every saturation path
        for (int16_t& v : block) v = extremes[random() % std::size(extremes)];
        break;
      case 2:  // typical sparse blocks
        for (int i = 0; i < 6; ++i)
          block[random() % 64] = static_cast<int16_t>(static_cast<int>(random() % 2048) - 1024);
        block[0] = static_cast<int16_t>(block[0] + 1024);
        break;
      case 3:  // values near the 16-bit pre-shift boundaries (4096, 8192, 16384)
        for (int16_t& v : block) {
          const int base = 1 << (12 + random() % 3);
          v = static_cast<int16_t>((random() & 1 ? base : -base) + static_cast<int>(random() % 9) -
                                   4);
        }
        break;
      default:  // one large value in a random place
        block[random() % 64] = static_cast<int16_t>(random());
        break;
    }
    Block scalar = block;
    Block simd = block;
    InverseDctScalar(scalar.data());
    InverseDct(simd.data());
    ASSERT_EQ(scalar, simd) << "trial " << trial;

    std::array<uint8_t, 8 * 12> storedScalar{}, storedSimd{}, fused{};
    StoreBlockScalar(scalar.data(), storedScalar.data(), 12);
    StoreBlock(simd.data(), storedSimd.data(), 12);
    Block again = block;
    InverseDctAndStore(again.data(), fused.data(), 12);
    ASSERT_EQ(storedScalar, storedSimd) << "trial " << trial;
    ASSERT_EQ(storedScalar, fused) << "trial " << trial;
  }
}

// The decoder's transform of blocks that end early in zig-zag order (everything in the top-left
// 4x4) against the full one, on the same kinds of input, and both leave the block cleared for
// the next one.
void ExpectShortTransformEqualsTheFullOne(int side,
                                          void (*transform)(int16_t*, uint8_t*, std::ptrdiff_t)) {
  std::mt19937 random(11);
  const int16_t extremes[] = {32767, -32768, 32766, -32767, 16384, -16384, 4096,
                              -4096, 4095,   -4097, 0,      1,     -1};
  for (int trial = 0; trial < 100000; ++trial) {
    Block block{};
    for (int i = 0; i < 64; ++i) {
      if (i / 8 >= side || i % 8 >= side) continue;
      switch (trial % 4) {
        case 0:
          block[i] = static_cast<int16_t>(random());
          break;
        case 1:
          block[i] = extremes[random() % std::size(extremes)];
          break;
        case 2:
          if (random() % 4 == 0) {
            block[i] = static_cast<int16_t>(static_cast<int>(random() % 2048) - 1024);
          }
          break;
        default:
          if (i == static_cast<int>(random() % 64)) block[i] = static_cast<int16_t>(random());
          break;
      }
    }
    Block reference = block;
    InverseDctScalar(reference.data());
    std::array<uint8_t, 8 * 12> expected{}, full{}, shortened{};
    StoreBlockScalar(reference.data(), expected.data(), 12);
    Block first = block;
    InverseDctAndStore(first.data(), full.data(), 12);
    Block second = block;
    transform(second.data(), shortened.data(), 12);
    ASSERT_EQ(full, expected) << "trial " << trial;
    ASSERT_EQ(shortened, expected) << "trial " << trial;
    ASSERT_EQ(first, Block{}) << "trial " << trial;
    ASSERT_EQ(second, Block{}) << "trial " << trial;
  }
}

TEST(InverseDct, ShortTransformEqualsTheFullOne) {
  ExpectShortTransformEqualsTheFullOne(4, InverseDctAndStore4x4);
}

TEST(InverseDct, StoreWritesEightBytesPerRowAndNothingElse) {
  Block block{};
  for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(i * 9 - 100);
  for (bool simd : {false, true}) {
    std::array<uint8_t, 8 * 11> out;
    out.fill(0xEE);
    if (simd) {
      StoreBlock(block.data(), out.data(), 11);
    } else {
      StoreBlockScalar(block.data(), out.data(), 11);
    }
    for (int r = 0; r < 8; ++r) {
      for (int c = 0; c < 11; ++c) {
        const int expected = c < 8 ? std::clamp(block[8 * r + c], int16_t{0}, int16_t{255}) : 0xEE;
        ASSERT_EQ(out[11 * r + c], expected) << r << "," << c;
      }
    }
  }
}

}  // namespace
}  // namespace lumafolio
