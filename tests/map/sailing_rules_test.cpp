// The rules of sailing together: speed and arrival time from timed own
// readings, the texts shown, following a member through the slot table.
#include <gtest/gtest.h>

#include <vector>

#include "map/follow.h"
#include "map/own_track.h"
#include "map/sailing_text.h"

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

}  // namespace
}  // namespace crewmap::map
