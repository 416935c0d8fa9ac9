#include <iterator>

#include "core/effects/EffectTable.h"
#include "core/effects/captions/CaptionRoutines.h"

namespace lumafolio {
namespace {

constexpr int kEdgesAcross = kEdgeRight | kEdgeLeft;
constexpr int kEdgesUpDown = kEdgeTop | kEdgeBottom;
constexpr int kAllEdges = kEdgesAcross | kEdgesUpDown;

// By effect code. Directional names tell where the text moves: "sweep-up" rises from the bottom
// edge. "letters-" cascades bring the characters in one by one in a scrambled order, "lines-"
// cascades one line after the other. The last row is the random record, filled in by the library.
constexpr CaptionEffectEntry kRows[] = {
    {0, 406, captions::Sweep, kEdgeBottom, 0, "sweep-up", "the text sweeps up into place"},
    {1, 407, captions::Sweep, kEdgeTop, 0, "sweep-down", "the text sweeps down into place"},
    {2, 408, captions::Sweep, kEdgeRight, 0, "sweep-left", "the text sweeps left into place"},
    {3, 409, captions::Sweep, kEdgeLeft, 0, "sweep-right", "the text sweeps right into place"},
    {4, 400, captions::Box, kAllEdges, 0, "box", "a box opening from the centre shows the text"},
    {5, 403, captions::Iris, kEdgeNone, 0, "iris",
     "an iris opening from the centre shows the text"},
    {6, 404, captions::Scatter, kEdgeNone, 0, "scatter", "the text gathers from scattered pieces"},
    {7, 414, captions::Cascade, kEdgeBottom, 2, "lines-up",
     "the lines rise in one after the other"},
    {8, 415, captions::Cascade, kEdgeTop, 2, "lines-down", "the lines drop in one after the other"},
    {9, 416, captions::Cascade, kEdgeRight, 2, "lines-left",
     "the lines come in from the right one after the other"},
    {10, 417, captions::Cascade, kEdgeLeft, 2, "lines-right",
     "the lines come in from the left one after the other"},
    {11, 1, captions::Appear, kEdgeNone, 0, "appear", "the text appears at once"},
    {12, 410, captions::Cascade, kEdgeBottom, 1, "letters-up",
     "the letters rise in, one by one in scrambled order"},
    {13, 411, captions::Cascade, kEdgeTop, 1, "letters-down",
     "the letters drop in, one by one in scrambled order"},
    {14, 412, captions::Cascade, kEdgeRight, 1, "letters-left",
     "the letters come in from the right, one by one"},
    {15, 413, captions::Cascade, kEdgeLeft, 1, "letters-right",
     "the letters come in from the left, one by one"},
    {16, 401, captions::Box, kEdgesAcross, 0, "box-horizontal",
     "a full-height band widening from the centre"},
    {17, 402, captions::Box, kEdgesUpDown, 0, "box-vertical",
     "a full-width band growing up and down from the centre"},
    {18, 405, captions::Whirl, kEdgeNone, 0, "whirl", "the text whirls into place"},
    {19, 19, captions::Slide, kEdgeBottom, 0, "slide-up", "the text slides up into place"},
    {20, 20, captions::Slide, kEdgeTop, 0, "slide-down", "the text slides down into place"},
    {21, 21, captions::Slide, kEdgeRight, 0, "slide-left", "the text slides left into place"},
    {22, 22, captions::Slide, kEdgeLeft, 0, "slide-right", "the text slides right into place"},
    {23, 27, captions::Wipe, kEdgeBottom, 0, "wipe-up", "the text is uncovered upwards"},
    {24, 28, captions::Wipe, kEdgeTop, 0, "wipe-down", "the text is uncovered downwards"},
    {25, 29, captions::Wipe, kEdgeRight, 0, "wipe-left", "the text is uncovered to the left"},
    {26, 30, captions::Wipe, kEdgeLeft, 0, "wipe-right", "the text is uncovered to the right"},
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
