// Position texts from the slot table, including what the network may send.
#include "map/position_text.h"

#include <gtest/gtest.h>

#include <string>

namespace crewmap::map {
namespace {

TEST(PositionText, ReadsTwoNumbers) {
  struct Case {
    const char* text;
    double x, y;
  };
  const Case good[] = {
      {"14175,7410", 14175, 7410}, {"0,0", 0, 0},           {"-5,+7", -5, 7},
      {" 12 , 34 ", 12, 34},       {"1.5,2.25", 1.5, 2.25}, {"2147483647,-2147483648", 2147483647.0, -2147483648.0},
  };
  for (const Case& c : good) {
    const auto p = ParsePosition(c.text);
    ASSERT_TRUE(p) << c.text;
    EXPECT_EQ(p->x, c.x) << c.text;
    EXPECT_EQ(p->y, c.y) << c.text;
  }
}

TEST(PositionText, AnythingElseIsAbsent) {
  const std::string bad[] = {
      "",           ",",           "1,",         ",2",          "12",         "1,2,3",      "a,b",
      "1x,2",       "1,2y",        "--1,2",      "1 2,3",       ".,1",        "1e3,2",      "2147483648,0",
      "0,-2147483649", "99999999999999999999999,1", std::string(200, '9') + ",1", std::string("1\0,2", 4),
      "\xef\xbc\x91,2",
  };
  for (const std::string& text : bad) EXPECT_FALSE(ParsePosition(text)) << text;
}

}  // namespace
}  // namespace crewmap::map
