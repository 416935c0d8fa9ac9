#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/effects/EffectParams.h"

namespace lumafolio::testing {

// A stage-sized 24-bit picture (rows bottom-up, padded to four bytes) in a buffer of exactly its
// size, so that AddressSanitizer catches a routine touching a byte outside it.
struct StagePicture {
  StagePicture(int w, int h);

  std::uint8_t* Pixel(int x, int row) { return bytes.data() + row * stride + x * 3; }
  const std::uint8_t* Pixel(int x, int row) const { return bytes.data() + row * stride + x * 3; }
  // The pixel at `x` on screen line `line`, counted from the top.
  const std::uint8_t* AtScreen(int x, int line) const { return Pixel(x, height - 1 - line); }

  int width;
  int height;
  int stride;
  std::vector<std::uint8_t> bytes;
};

// Two distinct pictures: A a gradient whose blue is always odd, B a checker of 16-pixel squares
// whose blue is 60 or 200. No pixel of A equals a pixel of B, and neither is black.
StagePicture MakePictureA(int w, int h);
StagePicture MakePictureB(int w, int h);

// A and B and an output picture of one size, and the block a step over them gets.
struct TransitionRun {
  TransitionRun(int w, int h);

  EffectParams Params(int step, int lastStep);

  StagePicture from;
  StagePicture to;
  StagePicture out;
};

// The name a parameterised test over the transition table gets for row `index`: the row's name
// as users type it, with '_' for '-' as test names need.
std::string TransitionTestName(int index);

}  // namespace lumafolio::testing
