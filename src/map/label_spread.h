#pragma once
// Keeping the members' names on the map apart: members at one spot (a
// meeting point) would have their names drawn over each other. Plain C++.
#include <vector>

namespace crewmap::map {

// A name's box in map-area pixels (its outline included).
struct LabelBox {
  int left = 0, top = 0, width = 0, height = 0;
};

// Moves boxes down, in the given order, until none overlaps a box placed
// before it: each keeps its place when free, else it goes just below the
// boxes in its way, so names at one spot read as a column under the spot.
void SpreadLabels(std::vector<LabelBox>& boxes);

}  // namespace crewmap::map
