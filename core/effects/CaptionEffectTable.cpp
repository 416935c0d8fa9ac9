#include <iterator>

#include "core/effects/EffectTable.h"

namespace lumafolio {
namespace {

// Caption effects are drawn by the captions module; until it lands every row draws nothing, so
// that a caption animation runs its frames over the bare picture.
int CaptionPlaceholder(int /*command*/, const CaptionEffectParams& /*params*/,
                       EffectState& /*state*/) {
  return 0;
}

constexpr int kEdgesAcross = kEdgeRight | kEdgeLeft;
constexpr int kEdgesUpDown = kEdgeTop | kEdgeBottom;
constexpr int kAllEdges = kEdgesAcross | kEdgesUpDown;

// By effect code. Directional names tell where the text moves: "sweep-up" rises from the bottom
// edge. "letters-" cascades bring the characters in one by one in a scrambled order, "lines-"
// cascades one line after the other. The last row is the random record, filled in by the library.
constexpr CaptionEffectEntry kRows[] = {
    {0, 406, CaptionPlaceholder, kEdgeBottom, 0, "sweep-up", "the text sweeps up into place"},
    {1, 407, CaptionPlaceholder, kEdgeTop, 0, "sweep-down", "the text sweeps down into place"},
    {2, 408, CaptionPlaceholder, kEdgeRight, 0, "sweep-left", "the text sweeps left into place"},
    {3, 409, CaptionPlaceholder, kEdgeLeft, 0, "sweep-right", "the text sweeps right into place"},
    {4, 400, CaptionPlaceholder, kAllEdges, 0, "box",
     "a box opening from the centre shows the text"},
    {5, 403, CaptionPlaceholder, kEdgeNone, 0, "iris",
     "an iris opening from the centre shows the text"},
    {6, 404, CaptionPlaceholder, kEdgeNone, 0, "scatter", "the text gathers from scattered pieces"},
    {7, 414, CaptionPlaceholder, kEdgeBottom, 2, "lines-up",
     "the lines rise in one after the other"},
    {8, 415, CaptionPlaceholder, kEdgeTop, 2, "lines-down",
     "the lines drop in one after the other"},
    {9, 416, CaptionPlaceholder, kEdgeRight, 2, "lines-left",
     "the lines come in from the right one after the other"},
    {10, 417, CaptionPlaceholder, kEdgeLeft, 2, "lines-right",
     "the lines come in from the left one after the other"},
    {11, 1, CaptionPlaceholder, kEdgeNone, 0, "appear", "the text appears at once"},
    {12, 410, CaptionPlaceholder, kEdgeBottom, 1, "letters-up",
     "the letters rise in, one by one in scrambled order"},
    {13, 411, CaptionPlaceholder, kEdgeTop, 1, "letters-down",
     "the letters drop in, one by one in scrambled order"},
    {14, 412, CaptionPlaceholder, kEdgeRight, 1, "letters-left",
     "the letters come in from the right, one by one"},
    {15, 413, CaptionPlaceholder, kEdgeLeft, 1, "letters-right",
     "the letters come in from the left, one by one"},
    {16, 401, CaptionPlaceholder, kEdgesAcross, 0, "box-horizontal",
     "a full-height band widening from the centre"},
    {17, 402, CaptionPlaceholder, kEdgesUpDown, 0, "box-vertical",
     "a full-width band growing up and down from the centre"},
    {18, 405, CaptionPlaceholder, kEdgeNone, 0, "whirl", "the text whirls into place"},
    {19, 19, CaptionPlaceholder, kEdgeBottom, 0, "slide-up", "the text slides up into place"},
    {20, 20, CaptionPlaceholder, kEdgeTop, 0, "slide-down", "the text slides down into place"},
    {21, 21, CaptionPlaceholder, kEdgeRight, 0, "slide-left", "the text slides left into place"},
    {22, 22, CaptionPlaceholder, kEdgeLeft, 0, "slide-right", "the text slides right into place"},
    {23, 27, CaptionPlaceholder, kEdgeBottom, 0, "wipe-up", "the text is uncovered upwards"},
    {24, 28, CaptionPlaceholder, kEdgeTop, 0, "wipe-down", "the text is uncovered downwards"},
    {25, 29, CaptionPlaceholder, kEdgeRight, 0, "wipe-left", "the text is uncovered to the left"},
    {26, 30, CaptionPlaceholder, kEdgeLeft, 0, "wipe-right", "the text is uncovered to the right"},
    {27, 3, nullptr, kEdgeNone, 0, "random", "one of the others, a new one each time"},
};

static_assert(std::size(kRows) == kCaptionEffectRecordCount);
static_assert(IndexesMatchPositions(kRows));
static_assert(kRows[kRandomCaptionEffectIndex].routine == nullptr);

}  // namespace

std::span<const CaptionEffectEntry, kCaptionEffectRecordCount> CaptionEffectTable() {
  return kRows;
}

}  // namespace lumafolio
