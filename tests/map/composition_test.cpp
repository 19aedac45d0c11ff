// Which half-picture columns fill each back-buffer column.
#include "map/composition.h"

#include <gtest/gtest.h>

#include "map/transform.h"

namespace crewmap::map {
namespace {

// The map column a back-buffer column shows according to the plan.
std::int64_t MapColumnOf(const CompositionPlan& plan, std::int32_t k) {
  for (const BlockCopy& c : plan.copies) {
    if (k >= c.destX && k < c.destX + c.width)
      return (c.source == Half::Left ? 0 : HalfWidth) + c.srcX + (k - c.destX);
  }
  return -1;
}

TEST(Composition, CopiesForTheThreeCasesOfAViewThatFits) {
  struct Case {
    std::int32_t viewX, w;
    std::vector<BlockCopy> want;
  };
  const Case cases[] = {
      // inside the left half: one copy
      {100, 366, {{Half::Left, 100, 0, 366}}},
      // reaching into the right half: left then right
      {2300, 366, {{Half::Left, 2300, 0, 96}, {Half::Right, 0, 96, 270}}},
      // starting in the right half: the right half alone
      {3000, 366, {{Half::Right, 604, 0, 366}}},
      {2396, 366, {{Half::Right, 0, 0, 366}}},
      // past the eastern edge: right then left
      {4700, 366, {{Half::Right, 2304, 0, 92}, {Half::Left, 0, 92, 274}}},
      // exactly flush with the eastern edge: one copy
      {4426, 366, {{Half::Right, 2030, 0, 366}}},
      {2030, 366, {{Half::Left, 2030, 0, 366}}},
      {2031, 366, {{Half::Left, 2031, 0, 365}, {Half::Right, 0, 365, 1}}},
  };
  for (const Case& c : cases) {
    const CompositionPlan plan = PlanComposition(c.viewX, 0, c.w, 222);
    ASSERT_EQ(plan.copies.size(), c.want.size()) << c.viewX;
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(plan.copies[i].source, c.want[i].source) << c.viewX << " copy " << i;
      EXPECT_EQ(plan.copies[i].srcX, c.want[i].srcX) << c.viewX << " copy " << i;
      EXPECT_EQ(plan.copies[i].destX, c.want[i].destX) << c.viewX << " copy " << i;
      EXPECT_EQ(plan.copies[i].width, c.want[i].width) << c.viewX << " copy " << i;
    }
  }
}

TEST(Composition, EveryColumnFollowsTheColumnRule) {
  const std::int32_t views[] = {0, 100, 2300, 2395, 3000, 4426, 4700, 4791, -208, 9000};
  const std::int32_t widths[] = {1, 366, 2396, 2397, 3840, 10000};
  for (std::int32_t viewX : views) {
    for (std::int32_t w : widths) {
      const CompositionPlan plan = PlanComposition(viewX, 0, w, 10);
      for (std::int32_t k = 0; k < w; ++k) {
        const std::int64_t want = ((std::int64_t{viewX} + k) % MapWidth + MapWidth) % MapWidth;
        ASSERT_EQ(MapColumnOf(plan, k), want) << "view " << viewX << " w " << w << " column " << k;
      }
      if (w <= HalfWidth) {
        EXPECT_LE(plan.copies.size(), 2u) << viewX << " " << w;
      }
    }
  }
}

TEST(Composition, RowsOutsideThePictureAreLeftOut) {
  CompositionPlan plan = PlanComposition(0, 200, 366, 222);
  EXPECT_EQ(plan.srcRow, 200);
  EXPECT_EQ(plan.destRow, 0);
  EXPECT_EQ(plan.rows, 222);
  plan = PlanComposition(0, -100, 100, 2600);  // taller than the world
  EXPECT_EQ(plan.srcRow, 0);
  EXPECT_EQ(plan.destRow, 100);
  EXPECT_EQ(plan.rows, 2396);
  plan = PlanComposition(0, 2300, 100, 222);  // never normalised: runs off the bottom
  EXPECT_EQ(plan.srcRow, 2300);
  EXPECT_EQ(plan.rows, 96);
  plan = PlanComposition(0, 5000, 100, 222);
  EXPECT_EQ(plan.rows, 0);
  plan = PlanComposition(0, 0, 0, 0);
  EXPECT_TRUE(plan.copies.empty());
  EXPECT_EQ(plan.rows, 0);
}

}  // namespace
}  // namespace crewmap::map
