// Placement rules of the navigation window, in twips.
#include "navi/drag_rules.h"

#include <gtest/gtest.h>

namespace crewmap::navi {
namespace {

TEST(DragRules, OffsetIsCursorTwipsMinusEdge) {
  EXPECT_EQ(DragOffset(100, 1200), 300);   // 100 px = 1500 twips
  EXPECT_EQ(DragOffset(0, 9045), -9045);
  EXPECT_EQ(DragOffset(10, 149.5), 0);     // 0.5 rounds to the even neighbour
  EXPECT_EQ(DragOffset(10, 148.5), 2);
}

TEST(DragRules, EdgeFollowsTheCursorButStopsAtTheFarScreenEdge) {
  // Screen 1920 px = 28800 twips, window 124 px = 1860 twips, offset 150.
  const struct {
    double cursor;
    double edge;
  } cases[] = {
      {100, 1350},              // free
      {0, -150},                // past the left/top edge: allowed
      {-50, -900},              // far past it
      {1800, 26850},            // 27000 - 150 fits exactly below the limit
      {1810, 26940},            // exactly the limit: screen end - window extent
      {1811, 26940},            // beyond: held at the limit
      {5000, 26940},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DragEdge(c.cursor, 150, 28800, 1860), c.edge) << c.cursor;
}

TEST(DragRules, FirstPlacementKeepsTheDesignPositionWhenItFits) {
  EXPECT_EQ(PlaceOnScreen(9045, 0, 28800, 1860), 9045);
  EXPECT_EQ(PlaceOnScreen(6570, 0, 16200, 1770), 6570);
}

TEST(DragRules, FirstPlacementIsMovedOntoSmallScreens) {
  EXPECT_EQ(PlaceOnScreen(9045, 0, 9600, 1860), 7740);  // 640 px wide screen
  EXPECT_EQ(PlaceOnScreen(6570, 0, 7200, 1770), 5430);  // 480 px high screen
  EXPECT_EQ(PlaceOnScreen(9045, 0, 1500, 1860), 0);     // window larger than the screen
  EXPECT_EQ(PlaceOnScreen(9045, 30000, 58800, 1860), 30000);  // screen starting further right
}

}  // namespace
}  // namespace crewmap::navi
