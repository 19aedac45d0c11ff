#pragma once
// How the back buffer of w x h map pixels is filled from the two half
// pictures: block copies at map scale, so that back-buffer column k shows map
// column (ViewX + k) mod 4792 and row r shows map row ViewY + r.
#include <cstdint>
#include <vector>

namespace crewmap::map {

enum class Half { Left, Right };

struct BlockCopy {
  Half source = Half::Left;
  std::int32_t srcX = 0;   // column in the half picture
  std::int32_t destX = 0;  // column in the back buffer
  std::int32_t width = 0;
};

struct CompositionPlan {
  std::vector<BlockCopy> copies;  // left to right, covering columns 0..w-1
  // Rows: back-buffer rows destRow .. destRow + rows - 1 come from picture
  // rows srcRow ..; the rows above and below them lie outside the world
  // picture (only when the view is taller than the world).
  std::int32_t srcRow = 0;
  std::int32_t destRow = 0;
  std::int32_t rows = 0;
};

// The copies for a normalised or unnormalised view origin. A view that fits
// the world (w <= 2396) takes one or two copies: one from the left half when
// it lies inside it, left then right when it reaches into the right half,
// right then left when it runs past the eastern edge. Wider views keep
// repeating the same column rule.
CompositionPlan PlanComposition(std::int32_t viewX, std::int32_t viewY, std::int32_t w, std::int32_t h);

}  // namespace crewmap::map
