// The dot's place on the navigation ring for an offset to the target.
#include "navi/bearing.h"
#include "navi/ring_marks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace crewmap::navi {
namespace {

using Kind = BearingResult::Kind;

struct PlaceCase {
  float x, y;
  float d, left, top;
  float tolerance;
};

class BearingPlaces : public testing::TestWithParam<PlaceCase> {};

TEST_P(BearingPlaces, PutsTheDotOnTheRing) {
  const PlaceCase& c = GetParam();
  const BearingResult r = ComputeBearing(c.x, c.y);
  ASSERT_EQ(r.kind, Kind::Place);
  EXPECT_NEAR(r.d, c.d, c.tolerance);
  EXPECT_NEAR(r.Left, c.left, c.tolerance);
  EXPECT_NEAR(r.Top, c.top, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, BearingPlaces,
    testing::Values(
        // Along the axes: exact up to the last float step.
        PlaceCase{1, 0, 270, 1740, 765, 1e-3f},    // target to the right: dot at the right
        PlaceCase{-1, 0, 90, 30, 765, 1e-3f},      // to the left: dot at the left
        PlaceCase{0, 1, 0, 885, 1500, 1e-3f},      // down: dot at the bottom
        PlaceCase{0, -1, 180, 885, 30, 1e-3f},     // up: dot at the top
        PlaceCase{3, 4, 323.13f, 1398, 1353, 0.01f},
        PlaceCase{100, -100, 225, 1489.58f, 245.28f, 0.01f},
        // Length never matters.
        PlaceCase{6, 8, 323.13f, 1398, 1353, 0.01f},
        PlaceCase{30000, 40000, 323.13f, 1398, 1353, 0.01f},
        PlaceCase{-16384, 0, 90, 30, 765, 1e-3f},
        PlaceCase{0.0003f, 0.0004f, 323.13f, 1398, 1353, 0.01f},
        // Target up-left: 45 degrees between the top and the left.
        PlaceCase{-100, -100, 135, 280.42f, 245.28f, 0.01f},
        // Down-left target: dot between the bottom and the left.
        PlaceCase{-100, 100, 45, 280.42f, 1284.72f, 0.01f},
        // y so small against x that the single-precision length equals |x|:
        // the dot still goes where the direction says, as for the pure axis.
        PlaceCase{5, 0.0001f, 270, 1740, 765, 0.05f},
        PlaceCase{5, -0.0001f, 270, 1740, 765, 0.05f},
        PlaceCase{-5, 0.0001f, 90, 30, 765, 0.05f},
        PlaceCase{-5, -0.0001f, 90, 30, 765, 0.05f},
        PlaceCase{16384, 1e-30f, 270, 1740, 765, 1e-3f},
        // Tiny components whose length rounds to one of them in single
        // precision; the direction (45 degrees) is kept.
        PlaceCase{1e-45f, 1e-45f, 315, 1489.58f, 1284.72f, 0.01f},
        // Offsets whose length exceeds the float range.
        PlaceCase{3e38f, 3e38f, 315, 1489.58f, 1284.72f, 0.01f},
        PlaceCase{-3e38f, -3e38f, 135, 280.42f, 245.28f, 0.01f}));

TEST(Bearing, SameDirectionSamePlaceWhateverTheLength) {
  const BearingResult small = ComputeBearing(3, 4);
  const BearingResult big = ComputeBearing(6, 8);
  ASSERT_EQ(small.kind, Kind::Place);
  ASSERT_EQ(big.kind, Kind::Place);
  EXPECT_EQ(small.Left, big.Left);
  EXPECT_EQ(small.Top, big.Top);
}

TEST(Bearing, SteppedInSinglePrecision) {
  // (3, 4): r = 5, a = acos(0.6) stored as a float, d = a * 180 / 3.14159265
  // stored as a float, then + 270. Reproduce the chain to the bit.
  const float a = static_cast<float>(std::atan(-0.6 / std::sqrt(1 - 0.36)) + 2 * std::atan(1.0));
  float d = static_cast<float>(static_cast<double>(a) * 180.0 / 3.14159265);
  d = static_cast<float>(d + 270.0);
  const BearingResult r = ComputeBearing(3, 4);
  ASSERT_EQ(r.kind, Kind::Place);
  EXPECT_EQ(r.d, d);
  EXPECT_EQ(r.Left, static_cast<float>(-std::sin(d * 3.14159265 / 180) * 855 + 855 + 30));
  EXPECT_EQ(r.Top, static_cast<float>(std::cos(d * 3.14159265 / 180) * 735 + 735 + 30));
}

TEST(Bearing, EveryFiniteDirectionStaysOnTheEllipse) {
  // Sweep the full circle: the corner lies on the ellipse around (885, 765)
  // with half-axes 855 and 735, on the side the target lies on across and
  // down, and the mirrored offset (-x, y) mirrors the dot across the centre.
  for (int step = 0; step < 720; ++step) {
    const double t = step * 3.14159265358979 / 360.0;
    const float x = static_cast<float>(std::cos(t) * 1000.0);
    const float y = static_cast<float>(std::sin(t) * 1000.0);
    const BearingResult r = ComputeBearing(x, y);
    ASSERT_EQ(r.kind, Kind::Place) << step;
    EXPECT_NEAR(r.Left, 885 + 855 * std::cos(t), 0.05) << step;
    EXPECT_NEAR(r.Top, 765 + 735 * std::sin(t), 0.05) << step;
    EXPECT_GE(r.d, 0.0f);
    EXPECT_LT(r.d, 360.0f);
    if (std::fabs(x) > 1e-3f) {
      EXPECT_EQ(r.Left > 885, x > 0) << step;
    }
    if (std::fabs(y) > 1e-3f) {
      EXPECT_EQ(r.Top > 765, y > 0) << step;
    }
    const BearingResult mirrored = ComputeBearing(-x, y);
    EXPECT_NEAR(mirrored.Left, 1770 - r.Left, 0.01) << step;
    EXPECT_NEAR(mirrored.Top, r.Top, 0.01) << step;
  }
}

TEST(Bearing, ZeroOffsetPlacesNothing) {
  EXPECT_EQ(ComputeBearing(0, 0).kind, Kind::Nothing);
  EXPECT_EQ(ComputeBearing(-0.0f, 0).kind, Kind::Nothing);
}

TEST(Bearing, NonFiniteInputIsAFault) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (auto [x, y] : {std::pair{inf, 0.0f}, {0.0f, -inf}, {nan, 1.0f}, {1.0f, nan}, {inf, nan}}) {
    const BearingResult r = ComputeBearing(x, y);
    EXPECT_EQ(r.kind, Kind::Fault) << x << "," << y;
    EXPECT_FALSE(r.fault.empty());
  }
}

TEST(BearingMessage, TextLayout) {
  EXPECT_EQ(BearingFaultMessage("オーバーフローしました。", 5, 0.0001f),
            "エラー発生！ｷｬｰ＞＜\r\nオーバーフローしました。\r\n5,0.0001");
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const BearingResult r = ComputeBearing(nan, -2.5f);
  ASSERT_EQ(r.kind, Kind::Fault);
  EXPECT_EQ(BearingFaultMessage(r.fault, nan, -2.5f),
            "エラー発生！ｷｬｰ＞＜\r\n" + r.fault + "\r\nNaN,-2.5");
}

TEST(BearingMessage, NumbersWithAtMostSevenSignificantDigits) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {5, "5"},
      {0.0001f, "0.0001"},
      {-13662.145f, "-13662.14"},  // the float is -13662.14453125
      {1.0f / 3.0f, "0.3333333"},
      {123456789.0f, "1.234568E+08"},
      {0.00001f, "1E-05"},
      {-0.0f, "0"},
      {std::numeric_limits<float>::infinity(), "INF"},
      {-std::numeric_limits<float>::infinity(), "-INF"},
      {std::numeric_limits<float>::quiet_NaN(), "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSingle(c.value), c.text) << c.value;
}

// Faults caught: a mark on the far side of the ring (mirrored, as the dot once
// was), two members in one direction drawn over each other, a group around
// east (angle 0) left overlapping across the full turn or flung apart, a
// member at the player's own spot given a direction.
TEST(RingMarks, AtEachBearingAndSpreadWhereTheyMeet) {
  const auto place = [](std::vector<std::pair<float, float>> offsets) {
    std::vector<RingMark> marks;
    for (const auto& [x, y] : offsets) marks.push_back({x, y, 0x00C000, false});
    return PlaceRingMarks(marks);
  };
  const auto centre = [](const PlacedMark& p) { return std::pair(p.left + kMarkDiameter / 2, p.top + kMarkDiameter / 2); };
  const auto lone = place({{10, 0}, {0, 0}, {0, 5}});
  ASSERT_EQ(lone.size(), 2u);
  EXPECT_EQ(centre(lone[0]), std::pair(915.0 + 780, 945.0));  // east: right
  EXPECT_EQ(lone[1].index, 2u);
  EXPECT_NEAR(centre(lone[1]).first, 915, 1e-9);  // south: bottom
  EXPECT_NEAR(centre(lone[1]).second, 945 + 660, 1e-9);

  // Eight members: two due north, three about east on both sides of angle 0.
  const auto eight = place({{0, -50}, {0, -9000}, {100, -1}, {100, 1}, {5000, 0}, {-1, 1}, {-30, -30}, {3, 90}});
  ASSERT_EQ(eight.size(), 8u);
  for (std::size_t a = 0; a < eight.size(); ++a) {
    EXPECT_EQ(eight[a].index, a);
    const double want = std::atan2(eight[a].mark.dy, eight[a].mark.dx);
    EXPECT_LT(std::fabs(std::remainder(eight[a].angle - want, 2 * 3.14159265358979)), 0.3) << a;
    for (std::size_t b = 0; b < a; ++b)
      EXPECT_GE(std::hypot(centre(eight[a]).first - centre(eight[b]).first,
                           centre(eight[a]).second - centre(eight[b]).second),
                kMarkDiameter)
          << a << " over " << b;
  }

  // The target dot sits on the marks' ring where a member at the target's
  // bearing would (caught: the bearing's own ellipse, 150 twips higher,
  // which put the dot outside the ring at the top and inside at the bottom).
  for (const auto& [x, y] : {std::pair{1.0f, 0.0f}, {0.0f, -1.0f}, {3.0f, 4.0f}, {-13662.145f, -7153.573f}}) {
    const BearingResult bearing = ComputeBearing(x, y);
    const DotCorner dot = DotOnRing(bearing.Left, bearing.Top);
    const auto mark = centre(place({{x, y}}).at(0));
    EXPECT_NEAR(dot.left + kDotDiameter / 2, mark.first, 0.5) << x << "," << y;
    EXPECT_NEAR(dot.top + kDotDiameter / 2, mark.second, 0.5) << x << "," << y;
  }
  // Members at the target, or on the way to it, are not hidden under the
  // dot: their marks move out to its sides, in order, clear of it.
  const BearingResult north = ComputeBearing(0, -1);
  const DotCorner dot = DotOnRing(north.Left, north.Top);
  const std::pair<double, double> middle(dot.left + kDotDiameter / 2, dot.top + kDotDiameter / 2);
  std::vector<RingMark> atTarget;
  for (const auto& [x, y] : {std::pair{0.0f, -9.0f}, {0.1f, -50.0f}, {-0.2f, -50.0f}, {30.0f, -1.0f}})
    atTarget.push_back({x, y, 0xC00000, false});
  const auto beside = PlaceRingMarks(atTarget, DotAngle(north.Left, north.Top));
  ASSERT_EQ(beside.size(), 4u);
  for (const PlacedMark& m : beside)
    EXPECT_GE(std::hypot(centre(m).first - middle.first, centre(m).second - middle.second),
              (kDotDiameter + kMarkDiameter) / 2) << m.index;
  EXPECT_LT(centre(beside[2]).first, centre(beside[0]).first);  // in order, west of north on the left
  EXPECT_LT(centre(beside[0]).first, middle.first);
  EXPECT_GT(centre(beside[1]).first, middle.first);
  EXPECT_NEAR(centre(beside[3]).second, centre(place({{30.0f, -1.0f}})[0]).second, 1e-6);  // far off: stays
}

}  // namespace
}  // namespace crewmap::navi
