#include "common/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/twips.h"

namespace crewmap {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  struct Case { double in, out; };
  for (const Case c : {Case{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0}, {1.5, 2},
                       {-0.5, -0.0}, {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {1e15 + 0.5, 1e15}}) {
    EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
  }
}

TEST(RoundToInt32, RejectsWhatDoesNotFit) {
  EXPECT_EQ(RoundToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(RoundToInt32(-2147483648.5), -2147483648);  // ties to even stays in range
  EXPECT_FALSE(RoundToInt32(2147483647.5).has_value());
  EXPECT_FALSE(RoundToInt32(std::numeric_limits<double>::quiet_NaN()).has_value());
  EXPECT_FALSE(RoundToInt32(std::numeric_limits<double>::infinity()).has_value());
}

TEST(RoundClampInt32, NeverOverflows) {
  EXPECT_EQ(RoundClampInt32(1e300), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(RoundClampInt32(-1e300), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(RoundClampInt32(std::nan("")), 0);
  EXPECT_EQ(TwipsToPixels(4335), 289);
  EXPECT_EQ(TwipsToPixels(22.5), 2);  // 1.5 pixels, ties to even
}

}  // namespace
}  // namespace crewmap
