#include "core/effects/EffectRecord.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio {
namespace {

// Id, routine, direction, variant, by index. Directions name edges: 1 top, 4 right, 16 bottom,
// 64 left; variants are strip counts, cell sizes or styles. The last row is the random record,
// filled in by the library.
const TransitionRecord kRows[kTransitionRecordCount] = {
    {16, transitions::Push, 1, 8},            // 0
    {17, transitions::Push, 64, 8},           // 1
    {23, transitions::Slide, 1, 8},           // 2
    {25, transitions::Slide, 64, 8},          // 3
    {31, transitions::Wipe, 1, 8},            // 4
    {33, transitions::Wipe, 64, 8},           // 5
    {57, transitions::Burn, 0, 0},            // 6
    {55, transitions::CurlQuad, 0, 0},        // 7
    {56, transitions::CurlSoftQuad, 0, 0},    // 8
    {76, transitions::Clock, 0, 0},           // 9
    {60, transitions::Shatter, 0, 0},         // 10
    {61, transitions::ShatterTiles, 0, 4},    // 11
    {62, transitions::ShatterTiles, 0, 8},    // 12
    {63, transitions::ShatterTiles, 0, 20},   // 13
    {65, transitions::Flash, 0, 0},           // 14
    {47, transitions::Blocks, 0, 4},          // 15
    {48, transitions::Blocks, 0, 8},          // 16
    {49, transitions::Blocks, 0, 20},         // 17
    {35, transitions::Doors, 0, 1},           // 18
    {43, transitions::Stretch, 16, 1},        // 19
    {44, transitions::Stretch, 1, 1},         // 20
    {45, transitions::Stretch, 4, 1},         // 21
    {46, transitions::Stretch, 64, 1},        // 22
    {38, transitions::Fade, 0, 1},            // 23
    {1, transitions::Cut, 0, 0},              // 24
    {52, transitions::Curl, 0, 1},            // 25
    {54, transitions::Fold, 0, 0},            // 26
    {53, transitions::CurlSoft, 0, 1},        // 27
    {36, transitions::Fan, 0, 12},            // 28
    {11, transitions::Push, 16, 1},           // 29
    {12, transitions::Push, 1, 1},            // 30
    {13, transitions::Push, 4, 1},            // 31
    {14, transitions::Push, 64, 1},           // 32
    {64, transitions::Scatter, 0, 0},         // 33
    {39, transitions::Blinds, 1, 16},         // 34
    {40, transitions::Blinds, 16, 16},        // 35
    {41, transitions::Blinds, 64, 16},        // 36
    {42, transitions::Blinds, 4, 16},         // 37
    {19, transitions::Slide, 16, 1},          // 38
    {20, transitions::Slide, 1, 1},           // 39
    {21, transitions::Slide, 4, 1},           // 40
    {22, transitions::Slide, 64, 1},          // 41
    {51, transitions::FlipVertical, 0, 1},    // 42
    {50, transitions::FlipHorizontal, 0, 1},  // 43
    {59, transitions::Flap, 0, 0},            // 44
    {66, transitions::Swing, 1, 1},           // 45
    {67, transitions::Swing, 16, 1},          // 46
    {68, transitions::Swing, 64, 1},          // 47
    {69, transitions::Swing, 4, 1},           // 48
    {71, transitions::Implode, 0, 4},         // 49
    {72, transitions::Swap, 0, 4},            // 50
    {73, transitions::RollHorizontal, 0, 0},  // 51
    {74, transitions::RollVertical, 0, 0},    // 52
    {70, transitions::Drip, 0, 0},            // 53
    {27, transitions::Wipe, 16, 1},           // 54
    {28, transitions::Wipe, 1, 1},            // 55
    {29, transitions::Wipe, 4, 1},            // 56
    {30, transitions::Wipe, 64, 1},           // 57
    {3, nullptr, 0, 0},                       // 58: random
};

}  // namespace

const TransitionRecord* TransitionTableRows() { return kRows; }

}  // namespace lumafolio
