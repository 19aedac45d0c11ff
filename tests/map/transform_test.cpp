// The map's arithmetic, checked against worked values.
#include "map/transform.h"

#include <gtest/gtest.h>

#include <limits>

namespace crewmap::map {
namespace {

TEST(MapTransform, GameAndMapPixelsConvertBothWays) {
  EXPECT_DOUBLE_EQ(GameToMapX(0), 0);
  EXPECT_DOUBLE_EQ(GameToMapY(0), 0);
  EXPECT_EQ(GameToMapX(16384), 4792.0);
  EXPECT_EQ(GameToMapY(8192), 2396.0);
  EXPECT_EQ(GameToMapX(14175), 4145.91064453125);
  EXPECT_EQ(GameToMapY(7410), 2167.2802734375);
  EXPECT_EQ(MapToGameX(4792), 16384.0);
  EXPECT_EQ(MapToGameY(2396), 8192.0);
  EXPECT_EQ(MapToGameX(GameToMapX(14175)), 14175.0);
}

TEST(MapTransform, MapPixelsToTwipsScaleWithZoom) {
  EXPECT_EQ(MapToTwipsX(110, 100, HoseiOne), 150.0);
  EXPECT_EQ(MapToTwipsY(60, 50, 20000), 300.0);
  EXPECT_EQ(MapToTwipsX(90, 100, 5000), -75.0);
}

TEST(MapTransform, ClickRoundsHalvesToEven) {
  EXPECT_EQ(ClickToMapX(22.5, 0, HoseiOne), 2);  // 1.5 -> 2
  EXPECT_EQ(ClickToMapX(37.5, 0, HoseiOne), 2);  // 2.5 -> 2
  EXPECT_EQ(ClickToMapX(52.5, 0, HoseiOne), 4);  // 3.5 -> 4
  EXPECT_EQ(ClickToMapX(1500, 100, 20000), 150);
  EXPECT_EQ(ClickToMapY(750, 50, 20000), 75);
  EXPECT_EQ(ClickToMapX(-37.5, 0, HoseiOne), -2);
}

TEST(MapTransform, VisibleSize) {
  VisibleSize s = VisibleSizeFor(5490, 3330, HoseiOne);
  EXPECT_EQ(s.w, 366);
  EXPECT_EQ(s.h, 222);
  s = VisibleSizeFor(5490, 3330, 20000);
  EXPECT_EQ(s.w, 183);
  EXPECT_EQ(s.h, 111);
  s = VisibleSizeFor(28800, 16200, 5000);  // 1920 x 1080 pixels at zoom 0.5
  EXPECT_EQ(s.w, 3840);
  EXPECT_EQ(s.h, 2160);
  s = VisibleSizeFor(5490, 3330, 80000);  // 45.75 -> 46, 27.75 -> 28
  EXPECT_EQ(s.w, 46);
  EXPECT_EQ(s.h, 28);
}

TEST(MapTransform, NormalisationWrapsOnceAndBoundsNorthSouth) {
  struct Case {
    std::int32_t x, y, h, wantX, wantY;
  };
  const Case cases[] = {
      {-1, 0, 222, 4791, 0},     {4792, 0, 222, 0, 0},      {-5000, 0, 222, -208, 0},
      {0, -7, 222, 0, 0},        {0, 2200, 300, 0, 2096},   {9584, 10, 222, 4792, 10},
      {100, 0, 2400, 100, -4},   // taller than the world: the origin goes above the top
      {100, -50, 2500, 100, -104},
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min(), 222,
       std::numeric_limits<std::int32_t>::min() + 4792, 0},
      {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(), 222,
       std::numeric_limits<std::int32_t>::max() - 4792, 2174},
  };
  for (const Case& c : cases) {
    std::int32_t x = c.x, y = c.y;
    NormaliseView(x, y, c.h);
    EXPECT_EQ(x, c.wantX) << c.x << "," << c.y;
    EXPECT_EQ(y, c.wantY) << c.x << "," << c.y;
  }
}

TEST(MapTransform, CentringPutsThePlayerInTheMiddle) {
  EXPECT_EQ(CentreViewX(8192, 5490, HoseiOne), 2213);
  EXPECT_EQ(CentreViewY(4096, 3330, HoseiOne), 1087);
  // At zoom 2 half the area is half as many map pixels: 2396 - 91.5 -> 2304 (even).
  EXPECT_EQ(CentreViewX(8192, 5490, 20000), 2304);
}

TEST(MapTransform, ZoomTableAndOutOfRangePositions) {
  const HoseiValue want[] = {5000, 7500, 10000, 15000, 20000, 40000, 80000};
  for (int p = 0; p <= 6; ++p) EXPECT_EQ(HoseiForSlider(p), want[p]) << p;
  EXPECT_FALSE(HoseiForSlider(-1));
  EXPECT_FALSE(HoseiForSlider(7));
  EXPECT_EQ(HoseiToDouble(7500), 0.75);
}

TEST(MapTransform, ZoomShiftDependsOnTheRatioOnly) {
  // 1 -> 2 in a 6000-twip window keeps the centre: +100.
  EXPECT_EQ(ZoomShift(0, 6000, 10000, 20000), 100);
  // 2 -> 4: the same ratio gives the same +100 (keeping the centre would be 50).
  EXPECT_EQ(ZoomShift(100, 6000, 20000, 40000), 200);
  // 2 -> 1 goes back by 200: (3000 - 6000) / 15.
  EXPECT_EQ(ZoomShift(200, 6000, 20000, 10000), 0);
  // 1 -> 0.75: (3000 - 4000) / 15 = -66.67 -> -67.
  EXPECT_EQ(ZoomShift(500, 6000, 10000, 7500), 433);
  EXPECT_EQ(ZoomShift(500, 6000, 10000, 10000), 500);
}

TEST(MapTransform, ScrollStepMovesAgainstTheCursorOffset) {
  EXPECT_EQ(ScrollStep(100, 500, 500, HoseiOne), 100);  // held still: no movement
  EXPECT_EQ(ScrollStep(100, 500, 460, HoseiOne), 110);  // 40 px left -> 10 right
  EXPECT_EQ(ScrollStep(100, 500, 540, 20000), 95);
  EXPECT_EQ(ScrollStep(100, 500, 506, HoseiOne), 98);   // -1.5 -> 98.5 -> 98
  EXPECT_EQ(ScrollStep(100, 500, 490, 5000), 105);
}

TEST(MapTransform, TargetCrossWrapsOnlyEastWest) {
  TwipsPoint p = TargetCrossCorner(100, 300, 4700, 200, HoseiOne);
  EXPECT_EQ(p.left, 2730.0);  // dx 192
  EXPECT_EQ(p.top, 1350.0);
  p = TargetCrossCorner(150, 75, 100, 50, 20000);
  EXPECT_EQ(p.left, 1350.0);
  EXPECT_EQ(p.top, 600.0);
  p = TargetCrossCorner(100, 10, 100, 50, HoseiOne);
  EXPECT_EQ(p.left, -150.0);
  EXPECT_EQ(p.top, -750.0);  // dy -40 stays negative
}

TEST(MapTransform, MarkerAndLabelPositions) {
  MarkerPlacement m = PlaceMarker(4000, 2000, 1000, 500, 1.0);
  EXPECT_EQ(m.shapeLeft, 2488.828125f);
  EXPECT_EQ(m.shapeTop, 1214.4140625f);
  EXPECT_EQ(m.labelLeft[0], 2608.828125f);
  EXPECT_EQ(m.labelTop[0], 1334.4140625f);
  EXPECT_EQ(m.labelLeft[1], 2608.828125f);
  EXPECT_EQ(m.labelTop[1], 1319.4140625f);
  EXPECT_EQ(m.labelLeft[2], 2608.828125f);
  EXPECT_EQ(m.labelTop[2], 1349.4140625f);
  EXPECT_EQ(m.labelLeft[3], 2593.828125f);
  EXPECT_EQ(m.labelTop[3], 1334.4140625f);
  EXPECT_EQ(m.labelLeft[4], 2623.828125f);
  EXPECT_EQ(m.labelTop[4], 1334.4140625f);

  // 10 map pixels right of and below the origin at zoom 2.
  m = PlaceMarker(MapToGameX(110), MapToGameY(60), 100, 50, 2.0);
  EXPECT_EQ(m.shapeLeft, 240.0f);
  EXPECT_EQ(m.shapeTop, 240.0f);

  // The centred player of a 5490 x 3330 area.
  m = PlaceMarker(8192, 4096, 2213, 1087, 1.0);
  EXPECT_EQ(m.shapeLeft, 2685.0f);
  EXPECT_EQ(m.shapeTop, 1605.0f);

  // Not wrapped: a member west of the origin gets a negative position.
  m = PlaceMarker(0, 0, 4700, 0, 1.0);
  EXPECT_EQ(m.shapeLeft, -70560.0f);
}

// Faults caught: the plain difference (a target across the seam shown the
// long way round), a wrap at the wrong bound, and a marker just across the
// seam drawn a world width off to the side.
TEST(MapTransform, OffsetsAndMarkersTakeTheShorterWayRound) {
  const struct {
    double dx, want;
  } wraps[] = {{0, 0}, {8191, 8191}, {8192, -8192}, {-8192, -8192}, {-8193, 8191}, {16389, 5}, {40000, 7232}};
  for (const auto& w : wraps) EXPECT_EQ(ShorterDx(w.dx), w.want) << w.dx;
  // The player at (14175, 7410), target map pixel (150, 75): east over the seam.
  HeadingOffset o = AngleShowOffset(150, 75, 14175, 7410);
  EXPECT_NEAR(o.dx, 2721.855, 0.001);
  EXPECT_NEAR(o.dy, -7153.573, 0.001);
  o = OffsetTo(200, 4000, 16240, 4100);
  EXPECT_EQ(o.dx, 344.0f);
  EXPECT_EQ(o.dy, -100.0f);

  // A view at 4700, 366 wide, shows map x 4700..4791 and then 0..273.
  const struct {
    double x;
    std::int32_t viewX, w;
    double want;
  } copies[] = {{200, 4700, 366, 200 + 16384}, {16240, 4700, 366, 16240}, {4000, 1000, 366, 4000},
                {16300, 0, 366, 16300 - 16384}, {8192, 4700, 366, 8192 + 16384}};
  for (const auto& c : copies) EXPECT_EQ(NearestCopyX(c.x, c.viewX, c.w), c.want) << c.x << " in " << c.viewX;
}

}  // namespace
}  // namespace crewmap::map
