#include <gtest/gtest.h>

#include <vector>

#include "core/captions/CaptionFrame.h"
#include "core/effects/EffectEdges.h"

namespace lumafolio {
namespace {

// A caption of three glyphs on two lines at (100, 200), its block 90 x 60, on the 800 x 600
// stage. The expected figures below were worked out by hand from the effects' formulas.
const std::vector<CaptionGlyph> kGlyphs = {
    {'A', 0, 0, 40, 30, 50}, {'B', 0, 30, 40, 30, 50}, {'C', 1, 10, 55, 30, 50}};
constexpr int kFrames = 32;

CaptionFrameInput Input(int frame, int direction = 0, int variant = 0) {
  CaptionFrameInput in;
  in.left = 100;
  in.top = 200;
  in.width = 90;
  in.height = 60;
  in.glyphs = kGlyphs;
  in.stageWidth = 800;
  in.stageHeight = 600;
  in.frame = frame;
  in.frameCount = kFrames;
  in.direction = static_cast<std::int16_t>(direction);
  in.variant = variant;
  return in;
}

using Plan = CaptionFrame (*)(const CaptionFrameInput&);
using Points = std::vector<std::pair<int, int>>;

Points Drawn(const CaptionFrame& frame) {
  Points points;
  for (const PlacedGlyph& glyph : frame.glyphs) points.emplace_back(glyph.x, glyph.y);
  return points;
}

const Points kFinal = {{100, 240}, {130, 240}, {110, 255}};

struct Clip {
  CaptionClip::Kind kind;
  int left, top, right, bottom;
};
void ExpectClip(const CaptionFrame& frame, Clip clip) {
  EXPECT_EQ(frame.clip.kind, clip.kind);
  EXPECT_EQ(frame.clip.left, clip.left);
  EXPECT_EQ(frame.clip.top, clip.top);
  EXPECT_EQ(frame.clip.right, clip.right);
  EXPECT_EQ(frame.clip.bottom, clip.bottom);
}
constexpr auto kRect = CaptionClip::Kind::kRectangle;

TEST(CaptionFrames, ClippedEffectsOpenFromNothingToTheWholeBlock) {
  struct Case {
    Plan plan;
    int direction;
    Clip atQuarter;
  };
  const Case cases[] = {
      {PlanWipe, kEdgeTop, {kRect, 100, 200, 190, 215}},
      {PlanWipe, kEdgeRight, {kRect, 168, 200, 190, 260}},
      {PlanWipe, kEdgeBottom, {kRect, 100, 245, 190, 260}},
      {PlanWipe, kEdgeLeft, {kRect, 100, 200, 122, 260}},
      {PlanBox, 85, {kRect, 134, 222, 156, 238}},
      {PlanBox, 68, {kRect, 134, 200, 156, 260}},
      {PlanBox, 17, {kRect, 100, 222, 190, 238}},
      // R = isqrt((90² + 60²) >> 2) + 1 = 55, r = 55 * 8 / 32 = 13 around (145, 230).
      {PlanIris, 0, {CaptionClip::Kind::kEllipse, 132, 217, 158, 243}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.direction);
    // The glyphs always stand at their places; only the clip moves.
    const CaptionFrame first = c.plan(Input(0, c.direction));
    EXPECT_EQ(Drawn(first), kFinal);
    const CaptionClip& clip = first.clip;
    EXPECT_TRUE(clip.left >= clip.right || clip.top >= clip.bottom) << "frame 0 shows nothing";

    ExpectClip(c.plan(Input(8, c.direction)), c.atQuarter);

    const CaptionClip last = c.plan(Input(kFrames, c.direction)).clip;
    EXPECT_LE(last.left, 100);
    EXPECT_LE(last.top, 200);
    EXPECT_GE(last.right, 190);
    EXPECT_GE(last.bottom, 260);
  }
}

TEST(CaptionFrames, MovingEffectsFollowTheirPathsAndEndInPlace) {
  struct Case {
    Plan plan;
    int direction;
    int variant;
    Points atQuarter;
  };
  const Case cases[] = {
      // Ease-out at a quarter: 0.4375 of the way from the start origin.
      {PlanSlide, kEdgeTop, 0, {{100, 93}, {130, 93}, {110, 108}}},
      {PlanSlide, kEdgeRight, 0, {{494, 240}, {524, 240}, {504, 255}}},
      {PlanSlide, kEdgeBottom, 0, {{100, 465}, {130, 465}, {110, 480}}},
      {PlanSlide, kEdgeLeft, 0, {{-7, 240}, {23, 240}, {3, 255}}},
      // The front carries every glyph it has not yet passed.
      {PlanSweep, kEdgeTop, 0, {{100, 65}, {130, 65}, {110, 65}}},
      {PlanSweep, kEdgeRight, 0, {{625, 240}, {625, 240}, {625, 255}}},
      {PlanSweep, kEdgeBottom, 0, {{100, 500}, {130, 500}, {110, 500}}},
      {PlanSweep, kEdgeLeft, 0, {{47, 240}, {47, 240}, {47, 255}}},
      {PlanScatter, 0, 0, {{663, 240}, {-338, 553}, {325, -265}}},
      {PlanWhirl, 0, 0, {{23, -320}, {-167, -239}, {-182, -229}}},
      // By letter, t = 32: delays 3, 8 and 26 leave the glyphs 29, 24 and 6 units on their way.
      {PlanCascade, kEdgeBottom, 1, {{100, 442}, {130, 472}, {110, 609}}},
      // By line, t = 25: the first line 25 units on its way, the second 24.
      {PlanCascade, kEdgeLeft, 2, {{-7, 240}, {23, 240}, {0, 255}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.direction << "/" << c.variant);
    EXPECT_EQ(Drawn(c.plan(Input(8, c.direction, c.variant))), c.atQuarter);
    const CaptionFrame last = c.plan(Input(kFrames, c.direction, c.variant));
    EXPECT_EQ(last.clip.kind, CaptionClip::Kind::kNone);
    if (c.variant == 2) {
      // By line, the last line has covered 99 of its 100 units at the end: a pixel short.
      EXPECT_EQ(Drawn(last), (Points{{100, 240}, {130, 240}, {109, 255}}));
    } else {
      EXPECT_EQ(Drawn(last), kFinal);
    }
  }
}

TEST(CaptionFrames, StartsAndLateArrivals) {
  EXPECT_TRUE(PlanAppear(Input(15)).glyphs.empty());
  EXPECT_EQ(Drawn(PlanAppear(Input(16))), kFinal);

  // Sliding in from the left, the block starts just off the stage.
  EXPECT_EQ(Drawn(PlanSlide(Input(0, kEdgeLeft))), (Points{{-90, 240}, {-60, 240}, {-80, 255}}));
  // Scattered glyphs start a stage diagonal (1000) from their places.
  EXPECT_EQ(Drawn(PlanScatter(Input(0))).front(), (std::pair{1100, 240}));
  // Letters wait for their delays; at frame 0 none of these three has started.
  EXPECT_TRUE(PlanCascade(Input(0, kEdgeTop, 1)).glyphs.empty());
  // At frame 6 (t = 24) the glyph with delay 26 has not started yet; 3 and 8 have.
  EXPECT_EQ(PlanCascade(Input(6, kEdgeTop, 1)).glyphs.size(), 2u);

  // A whirling glyph on the centre itself has no direction: it waits at its place.
  const std::vector<CaptionGlyph> centred = {{'x', 0, 45, 30, 10, 10}};
  CaptionFrameInput in = Input(0);
  in.glyphs = centred;
  EXPECT_EQ(Drawn(PlanWhirl(in)), (Points{{145, 230}}));
}

TEST(CaptionFrames, DamagedValuesStayInRange) {
  // A damaged film: a huge block far off the stage, frames out of range, no frame count. The
  // sanitizers see any overflow; the results stay ordered and finite.
  for (Plan plan : {PlanAppear, PlanWipe, PlanSlide, PlanBox, PlanIris, PlanSweep, PlanScatter,
                    PlanWhirl, PlanCascade}) {
    for (int frame : {-5, 0, 16, 32, 1 << 30}) {
      for (int frames : {32, 0, -1}) {
        CaptionFrameInput in = Input(frame, kEdgeLeft | kEdgeTop, 1);
        in.left = in.top = 2'000'000'000;
        in.width = in.height = 2'000'000'000;
        in.frameCount = frames;
        const CaptionFrame frame0 = plan(in);
        EXPECT_LE(frame0.glyphs.size(), kGlyphs.size());
      }
    }
  }
  CaptionFrameInput none = Input(16, kEdgeLeft, 2);
  none.glyphs = {};
  EXPECT_TRUE(PlanCascade(none).glyphs.empty());
}

}  // namespace
}  // namespace lumafolio
