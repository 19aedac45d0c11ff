#pragma once
// Where the texts over the map go: the members' names beside their circles
// and the distance beside the target cross, each clear of the others, of
// other members' circles and of the window's controls, so that every name
// reads as its own circle's and nothing hides under a button. Plain C++.
#include <span>
#include <vector>

namespace crewmap::map {

// A box in map-area pixels (a name's with its outline included).
struct LabelBox {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const LabelBox&) const = default;
};

bool Overlap(const LabelBox& a, const LabelBox& b);

// Moves boxes down, in the given order, until none overlaps a box placed
// before it: each keeps its place when free, else it goes just below the
// boxes in its way, so names at one spot read as a column under the spot.
void SpreadLabels(std::vector<LabelBox>& boxes);

// What the map holds besides the texts being placed: circles (names and
// the distance keep clear of them where they can) and controls (nothing is
// put under them where anything else is possible).
struct MapObstacles {
  LabelBox area;                  // the map area; places inside it come first
  std::vector<LabelBox> circles;  // circles[i] is name i's own circle, when naming
  std::vector<LabelBox> controls;
};

// The members' names, in the order given: `names[i]` comes in at its usual
// place, touching the lower right of `circles[i]`. Each goes to the first
// of its places around its circle (lower right, right, upper right, lower
// left, left, upper left) that is inside the area and clear of the names
// already placed, the other circles and the controls; then to the first
// clear of names and controls only; else it stays at its usual place and
// is spread down below the names in its way (SpreadLabels).
void PlaceNames(std::vector<LabelBox>& names, const MapObstacles& around);

// A caption of `width` x `height` beside `anchor` (right, left, below,
// above, each centred on it): the first place inside the area and clear of
// `taken`, the circles and the controls; then the first inside and clear of
// the controls; then the first inside (the caption must then lie above the
// controls to be seen); else the first.
LabelBox PlaceBeside(const LabelBox& anchor, int width, int height, std::span<const LabelBox> taken,
                     const MapObstacles& around);

}  // namespace crewmap::map
