#include "core/effects/EffectRecord.h"

namespace lumafolio {
namespace {

// Caption effects are drawn by the captions module; until it lands every row draws nothing, so
// that a caption animation runs its frames over the bare picture.
int CaptionPlaceholder(int /*command*/, const CaptionEffectParams& /*params*/) { return 0; }

// Id, routine, direction, variant, by effect code.
const CaptionEffectRecord kRows[kCaptionEffectRecordCount] = {
    {406, CaptionPlaceholder, 16, 0},  // 0: sweep
    {407, CaptionPlaceholder, 1, 0},   // 1
    {408, CaptionPlaceholder, 4, 0},   // 2
    {409, CaptionPlaceholder, 64, 0},  // 3
    {400, CaptionPlaceholder, 85, 0},  // 4: box
    {403, CaptionPlaceholder, 0, 0},   // 5: iris
    {404, CaptionPlaceholder, 0, 0},   // 6: scatter
    {414, CaptionPlaceholder, 16, 2},  // 7: cascade by lines
    {415, CaptionPlaceholder, 1, 2},   // 8
    {416, CaptionPlaceholder, 4, 2},   // 9
    {417, CaptionPlaceholder, 64, 2},  // 10
    {1, CaptionPlaceholder, 0, 0},     // 11: appear
    {410, CaptionPlaceholder, 16, 1},  // 12: cascade by letters
    {411, CaptionPlaceholder, 1, 1},   // 13
    {412, CaptionPlaceholder, 4, 1},   // 14
    {413, CaptionPlaceholder, 64, 1},  // 15
    {401, CaptionPlaceholder, 68, 0},  // 16: box
    {402, CaptionPlaceholder, 17, 0},  // 17
    {405, CaptionPlaceholder, 0, 0},   // 18: whirl
    {19, CaptionPlaceholder, 16, 0},   // 19: slide
    {20, CaptionPlaceholder, 1, 0},    // 20
    {21, CaptionPlaceholder, 4, 0},    // 21
    {22, CaptionPlaceholder, 64, 0},   // 22
    {27, CaptionPlaceholder, 16, 0},   // 23: wipe
    {28, CaptionPlaceholder, 1, 0},    // 24
    {29, CaptionPlaceholder, 4, 0},    // 25
    {30, CaptionPlaceholder, 64, 0},   // 26
    {3, nullptr, 0, 0},                // 27: random
};

}  // namespace

const CaptionEffectRecord* CaptionEffectTableRows() { return kRows; }

}  // namespace lumafolio
