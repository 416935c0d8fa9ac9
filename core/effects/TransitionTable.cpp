#include <iterator>

#include "core/effects/EffectTable.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio {
namespace {

using namespace transitions;

// Directions name edges (see EffectEdge); variants are strip counts, cell sizes or styles.
// Directional names tell where the new picture moves: "push-left" lets it enter at the right
// edge and push the old one out to the left. The "-strips" forms cut the picture into eight
// vertical strips that move up and down in turn, the "-bands" forms into eight horizontal bands
// that move left and right. The last row is the random record, filled in by the library.
constexpr TransitionEntry kRows[] = {
    {0, 16, Push, kEdgeTop, 8, "push-strips",
     "eight strips push the old picture out, up and down in turn"},
    {1, 17, Push, kEdgeLeft, 8, "push-bands",
     "eight bands push the old picture out, left and right in turn"},
    {2, 23, Slide, kEdgeTop, 8, "slide-strips",
     "eight strips of the new picture slide in, up and down in turn"},
    {3, 25, Slide, kEdgeLeft, 8, "slide-bands",
     "eight bands of the new picture slide in, left and right in turn"},
    {4, 31, Wipe, kEdgeTop, 8, "wipe-strips",
     "eight strips uncover the new picture, up and down in turn"},
    {5, 33, Wipe, kEdgeLeft, 8, "wipe-bands",
     "eight bands uncover the new picture, left and right in turn"},
    {6, 57, Burn, kEdgeNone, 0, "burn",
     "the new picture burns through the old one, low ground first"},
    {7, 55, CurlQuad, kEdgeNone, 0, "curl-quad", "the four quarters roll up from the centre"},
    {8, 56, CurlSoftQuad, kEdgeNone, 0, "curl-soft-quad",
     "the four quarters roll up on shaded cylinders"},
    {9, 76, Clock, kEdgeNone, 0, "clock", "a clock hand sweeps the new picture in"},
    {10, 60, Shatter, kEdgeNone, 0, "shatter",
     "the old picture bursts into small pieces that fly off"},
    {11, 61, ShatterTiles, kEdgeNone, 4, "shatter-4", "the old picture bursts into 4-pixel tiles"},
    {12, 62, ShatterTiles, kEdgeNone, 8, "shatter-8", "the old picture bursts into 8-pixel tiles"},
    {13, 63, ShatterTiles, kEdgeNone, 20, "shatter-20",
     "the old picture bursts into 20-pixel tiles"},
    {14, 65, Flash, kEdgeNone, 0, "flash",
     "a grey negative flashes to white, then the new picture"},
    {15, 47, Blocks, kEdgeNone, 4, "blocks-4", "4-pixel cells change in random order"},
    {16, 48, Blocks, kEdgeNone, 8, "blocks-8", "8-pixel cells change in random order"},
    {17, 49, Blocks, kEdgeNone, 20, "blocks-20", "20-pixel cells change in random order"},
    {18, 35, Doors, kEdgeNone, 1, "doors", "the old picture opens as a pair of doors"},
    {19, 43, Stretch, kEdgeBottom, 1, "stretch-down",
     "the new picture stretches down from the top"},
    {20, 44, Stretch, kEdgeTop, 1, "stretch-up", "the new picture stretches up from the bottom"},
    {21, 45, Stretch, kEdgeRight, 1, "stretch-right",
     "the new picture stretches right from the left"},
    {22, 46, Stretch, kEdgeLeft, 1, "stretch-left",
     "the new picture stretches left from the right"},
    {23, 38, Fade, kEdgeNone, 1, "fade", "the old picture fades into the new one"},
    {24, 1, Cut, kEdgeNone, 0, "cut", "the new picture replaces the old one at once"},
    {25, 52, Curl, kEdgeNone, 1, "curl",
     "the old picture rolls up from a corner, a different roll each time"},
    {26, 54, Fold, kEdgeNone, 0, "fold", "the old picture folds away along a moving line"},
    {27, 53, CurlSoft, kEdgeNone, 1, "curl-soft", "the old picture rolls up on a shaded cylinder"},
    {28, 36, Fan, kEdgeNone, 12, "fan", "the blades of a fan open on the new picture"},
    {29, 11, Push, kEdgeBottom, 1, "push-up", "the new picture pushes the old one out at the top"},
    {30, 12, Push, kEdgeTop, 1, "push-down",
     "the new picture pushes the old one out at the bottom"},
    {31, 13, Push, kEdgeRight, 1, "push-left",
     "the new picture pushes the old one out at the left"},
    {32, 14, Push, kEdgeLeft, 1, "push-right",
     "the new picture pushes the old one out at the right"},
    {33, 64, Scatter, kEdgeNone, 0, "scatter",
     "the old picture falls apart and comes together as the new one"},
    {34, 39, Blinds, kEdgeTop, 16, "blinds-up", "horizontal blinds open upwards"},
    {35, 40, Blinds, kEdgeBottom, 16, "blinds-down", "horizontal blinds open downwards"},
    {36, 41, Blinds, kEdgeLeft, 16, "blinds-left", "vertical blinds open to the left"},
    {37, 42, Blinds, kEdgeRight, 16, "blinds-right", "vertical blinds open to the right"},
    {38, 19, Slide, kEdgeBottom, 1, "slide-up", "the new picture slides up over the old one"},
    {39, 20, Slide, kEdgeTop, 1, "slide-down", "the new picture slides down over the old one"},
    {40, 21, Slide, kEdgeRight, 1, "slide-left", "the new picture slides left over the old one"},
    {41, 22, Slide, kEdgeLeft, 1, "slide-right", "the new picture slides right over the old one"},
    {42, 51, FlipVertical, kEdgeNone, 1, "flip-vertical",
     "a card turns about its vertical centre line"},
    {43, 50, FlipHorizontal, kEdgeNone, 1, "flip-horizontal",
     "a card turns about its horizontal centre line"},
    {44, 59, Flap, kEdgeNone, 0, "flap", "the new picture falls in as a flap and bounces flat"},
    {45, 66, Swing, kEdgeTop, 1, "swing-top",
     "the old picture swings away on a hinge at the top edge"},
    {46, 67, Swing, kEdgeBottom, 1, "swing-bottom",
     "the old picture swings away on a hinge at the bottom edge"},
    {47, 68, Swing, kEdgeLeft, 1, "swing-left",
     "the old picture swings away on a hinge at the left edge"},
    {48, 69, Swing, kEdgeRight, 1, "swing-right",
     "the old picture swings away on a hinge at the right edge"},
    {49, 71, Implode, kEdgeNone, 4, "implode",
     "the old picture's shaking tiles shrink into the centre"},
    {50, 72, Swap, kEdgeNone, 4, "swap",
     "shaking tiles of the old picture shrink as the new one's grow"},
    {51, 73, RollHorizontal, kEdgeNone, 0, "roll-horizontal",
     "the pictures turn over a drum from the right edge"},
    {52, 74, RollVertical, kEdgeNone, 0, "roll-vertical",
     "the pictures turn over a drum from the top edge"},
    {53, 70, Drip, kEdgeNone, 0, "drip", "the new picture runs down over the old one in drips"},
    {54, 27, Wipe, kEdgeBottom, 1, "wipe-up", "the new picture is uncovered upwards"},
    {55, 28, Wipe, kEdgeTop, 1, "wipe-down", "the new picture is uncovered downwards"},
    {56, 29, Wipe, kEdgeRight, 1, "wipe-left", "the new picture is uncovered to the left"},
    {57, 30, Wipe, kEdgeLeft, 1, "wipe-right", "the new picture is uncovered to the right"},
    {58, 3, nullptr, kEdgeNone, 0, "random", "one of the others, a new one each time"},
};

static_assert(std::size(kRows) == kTransitionRecordCount);
static_assert(IndexesMatchPositions(kRows));
static_assert(kRows[kCutTransitionIndex].routine == Cut);
static_assert(kRows[kRandomTransitionIndex].routine == nullptr);

}  // namespace

std::span<const TransitionEntry, kTransitionRecordCount> TransitionTable() { return kRows; }

}  // namespace lumafolio
