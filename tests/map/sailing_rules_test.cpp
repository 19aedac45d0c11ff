// The rules of sailing together: speed and arrival time from timed own
// readings, the texts shown, following a member through the slot table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "map/follow.h"
#include "map/label_spread.h"
#include "map/own_track.h"
#include "map/sailing_text.h"
#include "map/trails.h"

namespace crewmap::map {
namespace {

// Faults caught: speed taken the long way over the seam, readings older than
// the half minute still counted, a repeated reading counted as a stop, a
// misread jump giving a wild speed, the straight line taken for the path.
TEST(SailingRules, SpeedFromTheLastHalfMinuteOfReadings) {
  struct Reading {
    std::int64_t at;
    double x, y;
  };
  const struct {
    const char* what;
    std::vector<Reading> readings;
    std::int64_t now;
    std::optional<double> speed;
  } cases[] = {
      {"none", {}, 0, std::nullopt},
      {"one reading", {{0, 100, 100}}, 0, std::nullopt},
      {"east at 10/s", {{0, 100, 0}, {1000, 110, 0}, {2000, 120, 0}}, 2000, 10},
      {"over the seam", {{0, 16380, 50}, {1000, 6, 50}}, 1000, 10},
      {"stopped", {{0, 5, 5}, {1000, 5, 5}}, 1000, 0},
      {"seen again", {{0, 0, 0}, {1000, 10, 0}, {1000, 10, 0}, {500, 99, 0}}, 1000, 10},
      {"only the last 30 s", {{0, 0, 0}, {20000, 200, 0}, {40000, 200, 0}}, 40000, 0},
      {"all too old", {{0, 0, 0}, {1000, 10, 0}}, 40000, std::nullopt},
      {"a jump restarts", {{0, 0, 0}, {1000, 10, 0}, {2000, 5000, 0}, {3000, 5020, 0}}, 3000, 20},
      {"along the path", {{0, 0, 0}, {1000, 30, 40}, {2000, 0, 0}}, 2000, 50},
  };
  for (const auto& c : cases) {
    OwnTrack track;
    for (const Reading& r : c.readings) track.Add(r.at, r.x, r.y);
    EXPECT_EQ(track.Speed(c.now), c.speed) << c.what;
  }
  EXPECT_EQ(ArrivalSeconds(1000, 10), 100);
  EXPECT_EQ(ArrivalSeconds(10, 3), 4);  // never says arrived too early
  EXPECT_EQ(ArrivalSeconds(0, 10), 0);
  EXPECT_EQ(ArrivalSeconds(5, 0), std::nullopt);
  EXPECT_EQ(ArrivalSeconds(5, std::nullopt), std::nullopt);
  EXPECT_EQ(ArrivalSeconds(59999, 1), 59999);
  EXPECT_EQ(ArrivalSeconds(60000, 1), std::nullopt);
}

TEST(SailingRules, TextsAndAges) {
  EXPECT_EQ(NaviText(2721.855, 272), "2722 4:32");
  EXPECT_EQ(NaviText(2.5, 4), "2 0:04");  // halves to even
  EXPECT_EQ(NaviText(40, 59999), "40 999:59");
  EXPECT_EQ(NaviText(40, 70), "40 1:10");  // caught: "1:010"
  EXPECT_EQ(NaviText(40, std::nullopt), "40 --:--");
  EXPECT_EQ(OverlayText(2721.855, 272), "2722\n4:32");
  EXPECT_EQ(OverlayText(40, std::nullopt), "40");
  // Faults caught: the age band edges (fresh up to 10 s, never-stamped is
  // fresh) and the unit changes.
  const struct {
    std::int64_t at, now;
    bool old;
    const char* text;
  } ages[] = {{0, 999999, false, ""},         {1000, 11000, false, ""},      {1000, 11001, true, "10秒前"},
              {1000, 46000, true, "45秒前"}, {1000, 61000, true, "1分前"},  {5, 239005, true, "3分前"},
              {5, 3600005, true, "1時間前"}, {50000, 1000, false, ""}};
  for (const auto& a : ages) {
    const PositionAge age = AgeOf(a.at, a.now);
    EXPECT_EQ(age.old, a.old) << a.at << " " << a.now;
    EXPECT_EQ(age.text, a.text) << a.at << " " << a.now;
  }
}

// Faults caught: following on after the slot was emptied or taken by
// another nickname; losing the member while its position is blank.
TEST(SailingRules, FollowingEndsWhenTheMemberLeaves) {
  Follow follow{3, "Kaito", false};
  auto at = StepFollow(follow, {"Kaito", "10,20", 0});
  ASSERT_TRUE(at);
  EXPECT_EQ(at->x, 10);
  EXPECT_FALSE(StepFollow(follow, {"Kaito", "", 0}));
  EXPECT_TRUE(follow.Active());
  for (const net::Slot& gone : {net::Slot{"", "", 0}, net::Slot{"Other", "1,1", 0}}) {
    follow = {3, "Kaito", false};
    EXPECT_FALSE(StepFollow(follow, gone));
    EXPECT_TRUE(follow.left);
    EXPECT_FALSE(StepFollow(follow, {"Kaito", "10,20", 0}));  // gone stays gone
  }
}

// Faults caught: a line across the whole world where a member crosses the
// seam, or none where the view shows the other side; no break where the
// member left, was silent, jumped or was replaced by another in its slot;
// pieces older than the window drawn; memory growing with the hours.
TEST(SailingRules, TrailsBreakWrapAndStayBounded) {
  Trails trails;
  net::SlotTable slots{};
  const auto at = [&](std::int64_t t, const char* nick, std::string point) {
    slots[2] = {nick, std::move(point), t};
    trails.Note(slots, t);
  };
  const auto pieces = [&](std::int64_t now, std::int32_t viewX) {
    return TrailPieces(trails, now, viewX, 0, HoseiOne, 366, 222);
  };
  at(1000, "Kaito", "16380,100");
  at(2000, "Kaito", "6,100");  // 10 units east, over the seam
  for (const std::int32_t viewX : {4700, 0}) {
    const auto p = pieces(2000, viewX);
    ASSERT_EQ(p.size(), 1u) << viewX;
    EXPECT_NEAR(p[0].x1 - p[0].x0, 10 * 4792.0 / 16384, 1e-3) << viewX;
    EXPECT_EQ(p[0].band, 0);
  }
  at(3000, "Kaito", "6,100");   // still there: nothing new
  at(4000, "Kaito", "5006,100");  // a jump
  at(5000, "Kaito", "5016,100");
  at(30000, "Kaito", "5026,100");  // after 25 s without a position
  at(31000, "Kaito", "");           // left, or its read-out lost
  at(32000, "Kaito", "5036,100");
  at(33000, "Kaito", "5046,100");
  EXPECT_EQ(trails.Count(2), 7u);
  EXPECT_EQ(pieces(33000, 1300).size(), 2u);  // 5006-5016 and 5036-5046
  EXPECT_EQ(pieces(33000 + Trails::kWindowMs - 1500, 1300).size(), 1u);  // the older one has gone by
  at(34000, "Rin", "5056,100");  // another member in the slot
  EXPECT_EQ(trails.Count(2), 1u);
  for (std::int64_t t = 0; t < 4000; ++t) at(35000 + t * 1000, "Rin", std::to_string(t % 9000) + ",100");
  EXPECT_EQ(trails.Count(2), Trails::kCapacity);
  EXPECT_EQ(trails.At(2, Trails::kCapacity - 1).x, 3999);

  // Zoom 0.5 in a window wider than the world: a trail near the west edge
  // shows on the copy east of the seam and again one world further west.
  Trails wide;
  net::SlotTable mio{};
  for (const auto& [t, x] : {std::pair{1000, "342,100"}, {2000, "352,100"}}) mio[4] = {"Mio", x, t}, wide.Note(mio, t);
  const auto both = TrailPieces(wide, 2000, 0, 0, 5000, 2560, 600);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_NEAR(std::min(both[0].x0, both[1].x0), 50, 1);
  EXPECT_NEAR(std::max(both[0].x0, both[1].x0), 50 + 2396, 1);
}

// Faults caught: names at one spot drawn over each other (also spread in a
// single pass); a name moved that was in nobody's way, or left under another's
// circle, a control or past the edge with a free place beside its own circle;
// the distance over a name, past the edge or under a button.
TEST(SailingRules, NamesAtOneSpotStackDownwards) {
  std::vector<LabelBox> boxes = {{100, 50, 40, 14}, {100, 50, 60, 14}, {300, 50, 40, 14}, {120, 55, 40, 14}};
  SpreadLabels(boxes);
  EXPECT_EQ(boxes[0].top, 50);
  EXPECT_EQ(boxes[1].top, 64);
  EXPECT_EQ(boxes[2].top, 50);
  EXPECT_EQ(boxes[3].top, 78);

  // Names 40 x 16 beside 8-pixel circles, each coming in at the circle's
  // lower right.
  const auto circle = [](int x, int y) { return LabelBox{x, y, 8, 8}; };
  const auto usual = [](const LabelBox& c) { return LabelBox{c.left + 7, c.top + 7, 40, 16}; };
  const struct {
    const char* what;
    std::vector<LabelBox> circles;
    std::vector<LabelBox> want;  // the names' places
  } cases[] = {
      {"alone", {circle(100, 100)}, {{107, 107, 40, 16}}},
      {"over another's circle: above it", {circle(100, 100), circle(120, 110)}, {{107, 85, 40, 16}, {127, 117, 40, 16}}},
      {"at the right edge: to the left", {circle(340, 50)}, {{301, 57, 40, 16}}},
      {"on a control: above it", {circle(140, 140)}, {{147, 125, 40, 16}}},
      {"five at one spot",
       {circle(200, 100), circle(200, 100), circle(200, 100), circle(200, 100), circle(200, 100)},
       {{207, 107, 40, 16}, {207, 85, 40, 16}, {161, 107, 40, 16}, {161, 85, 40, 16}, {207, 123, 40, 16}}},
      {"a sixth there, another's name below",
       {circle(200, 116), circle(200, 100), circle(200, 100), circle(200, 100), circle(200, 100), circle(200, 100)},
       {{207, 123, 40, 16}, {207, 107, 40, 16}, {207, 85, 40, 16}, {161, 107, 40, 16}, {161, 85, 40, 16},
        {207, 139, 40, 16}}},
  };
  for (const auto& c : cases) {
    MapObstacles around{{0, 0, 366, 222}, c.circles, {{150, 150, 60, 20}}};
    std::vector<LabelBox> names;
    for (const LabelBox& k : c.circles) names.push_back(usual(k));
    PlaceNames(names, around);
    EXPECT_EQ(names, c.want) << c.what;
  }

  // The distance beside the cross: right, else left, below, above.
  const MapObstacles map{{0, 0, 366, 222}, {}, {{256, 37, 105, 25}, {256, 66, 105, 25}}};
  const std::vector<LabelBox> name{{200, 100, 40, 16}};
  EXPECT_EQ(PlaceBeside({100, 100, 21, 21}, 60, 16, name, map), (LabelBox{121, 102, 60, 16}));
  EXPECT_EQ(PlaceBeside({290, 100, 21, 21}, 60, 16, {}, map), (LabelBox{230, 102, 60, 16}));
  EXPECT_EQ(PlaceBeside({290, 100, 21, 21}, 60, 16, name, map), (LabelBox{271, 121, 60, 16}));
  EXPECT_EQ(PlaceBeside({200, 40, 21, 21}, 60, 16, {}, map), (LabelBox{140, 42, 60, 16}));  // not under a button
  EXPECT_EQ(PlaceBeside({290, 64, 21, 21}, 60, 16, {}, map), (LabelBox{230, 66, 60, 16}));  // a cross on them: inside
}

}  // namespace
}  // namespace crewmap::map
