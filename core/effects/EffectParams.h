#pragma once

#include <cstdint>

namespace lumafolio {

struct Caption;
struct CaptionGlyph;
class CaptionCanvas;

// The commands an effect routine understands. 2 and 4 exist in the protocol but do nothing.
enum EffectCommand : int {
  kEffectBegin = 0,
  kEffectEnd = 1,
  kEffectStep = 3,
};

// What a transition routine is handed: three pictures of the stage's size (24-bit BGR rows,
// bottom-up, each row padded to four bytes), the step to draw, and the record's two parameters.
// Begin and end get a block without pictures.
struct EffectParams {
  std::int32_t size = 64;
  const std::uint8_t* fromBits = nullptr;  // A: the picture the transition starts from
  const std::uint8_t* toBits = nullptr;    // B: the picture it ends on
  std::uint8_t* outBits = nullptr;         // O: where the routine draws
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t step = 0;
  std::int32_t lastStep = 0;
  std::int16_t direction = 0;
  std::int32_t variant = 0;
};

// What a caption effect routine is handed. The canvas stands where the stage's device context
// would: the routine says where the glyphs go, the canvas draws them.
struct CaptionEffectParams {
  std::int32_t size = 64;
  CaptionCanvas* canvas = nullptr;
  std::uint8_t* outBits = nullptr;
  const Caption* caption = nullptr;
  const CaptionGlyph* glyphs = nullptr;
  std::int32_t glyphCount = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t frame = 0;
  std::int32_t frameCount = 0;
  std::int16_t direction = 0;
  std::int32_t variant = 0;
};

class EffectState;

// A routine draws with what `params` holds and keeps whatever must outlive the call in `state`,
// the slot its library record owns.
using TransitionRoutine = int (*)(int command, const EffectParams& params, EffectState& state);
using CaptionRoutine = int (*)(int command, const CaptionEffectParams& params, EffectState& state);

}  // namespace lumafolio
