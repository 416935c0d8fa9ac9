#pragma once

#include <cstdint>

namespace lumafolio {

// The edges an effect's direction names, as bits so that a direction may name several (a caption
// box opening towards all four). What an edge means is the family's own: where the new picture
// enters, where a hinge sits, where a stretch starts.
enum EffectEdge : std::int16_t {
  kEdgeNone = 0,
  kEdgeTop = 1,
  kEdgeRight = 4,
  kEdgeBottom = 16,
  kEdgeLeft = 64,
};

}  // namespace lumafolio
