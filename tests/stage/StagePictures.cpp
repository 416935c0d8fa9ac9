#include "StagePictures.h"

#include <algorithm>

#include "core/effects/EffectTable.h"

namespace lumafolio::testing {

StagePicture::StagePicture(int w, int h)
    : width(w), height(h), stride((w * 3 + 3) & ~3), bytes(static_cast<std::size_t>(stride) * h) {}

StagePicture MakePictureA(int w, int h) {
  StagePicture picture(w, h);
  for (int row = 0; row < h; ++row) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = picture.Pixel(x, row);
      // Blue odd, green from the column, red from the row: unique per pixel up to 256x256 and
      // never equal to B, whose blue is even.
      p[0] = static_cast<std::uint8_t>(((x + row) & 0x7f) * 2 + 1);
      p[1] = static_cast<std::uint8_t>(x);
      p[2] = static_cast<std::uint8_t>(row);
    }
  }
  return picture;
}

StagePicture MakePictureB(int w, int h) {
  StagePicture picture(w, h);
  for (int row = 0; row < h; ++row) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = picture.Pixel(x, row);
      const bool light = ((x / 16) + (row / 16)) % 2 == 0;
      p[0] = static_cast<std::uint8_t>(light ? 200 : 60);  // even: never A's odd blue
      p[1] = static_cast<std::uint8_t>(255 - x);
      p[2] = static_cast<std::uint8_t>(255 - row);
    }
  }
  return picture;
}

TransitionRun::TransitionRun(int w, int h)
    : from(MakePictureA(w, h)), to(MakePictureB(w, h)), out(w, h) {}

EffectParams TransitionRun::Params(int step, int lastStep) {
  EffectParams params;
  params.fromBits = from.bytes.data();
  params.toBits = to.bytes.data();
  params.outBits = out.bytes.data();
  params.width = from.width;
  params.height = from.height;
  params.step = step;
  params.lastStep = lastStep;
  return params;
}

std::string TransitionTestName(int index) {
  std::string name = TransitionTable()[static_cast<std::size_t>(index)].name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

}  // namespace lumafolio::testing
