#pragma once
// Where the other members' marks go on the overlay's ring: each at its
// member's bearing, spread apart along the ring where several lie in about
// the same direction, so that every mark stays whole. Plain C++.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace crewmap::navi {

// A member to mark: the offset from the player to it in game units (x
// towards the right of the world map, y towards its bottom), its colour
// (0xRRGGBB) and whether its position is old.
struct RingMark {
  float dx = 0, dy = 0;
  std::uint32_t colour = 0;
  bool old = false;
  bool operator==(const RingMark&) const = default;
};

// The ring the marks sit on, in twips: the middle of the ring's band
// (the ring Shape1 at 60, 210, 1710 x 1470 with its 10-pixel border).
inline constexpr double kMarkRingCentreX = 60 + 1710 / 2.0;   // 915
inline constexpr double kMarkRingCentreY = 210 + 1470 / 2.0;  // 945
inline constexpr double kMarkRingHalfWidth = 1710 / 2.0 - 75;   // 780
inline constexpr double kMarkRingHalfHeight = 1470 / 2.0 - 75;  // 660
inline constexpr double kMarkDiameter = 135;                    // 9 pixels

struct PlacedMark {
  double angle = 0;      // radians where it is drawn, from the right towards the bottom
  double left = 0, top = 0;  // the mark's top-left corner, twips
  RingMark mark;
  std::size_t index = 0;  // the mark's place in the list given
};

// The target dot: larger than a mark, so that it is never taken for one.
inline constexpr double kDotDiameter = 240;  // 16 pixels

// The marks placed, in the order given; a mark whose offset is zero (no
// direction: the member is where the player is) is left out. Marks closer
// along the ring than a mark's width and a gap are spread evenly around
// their middle direction. With the target dot on the ring at `dotAngle`
// (as PlacedMark::angle), marks it would cover move out to its sides.
std::vector<PlacedMark> PlaceRingMarks(const std::vector<RingMark>& marks,
                                       std::optional<double> dotAngle = std::nullopt);

// The drawn dot's top-left corner, twips: centred on the marks' ring, in the
// direction from the ring's middle that the bearing's place for its small
// dot (bearing.h; top-left corner at bearingLeft, bearingTop) stands for.
// That place's own ellipse lies 150 twips above the ring, so the small dot
// sat outside the ring at the top and inside it at the bottom.
struct DotCorner {
  double left = 0, top = 0;
};
DotCorner DotOnRing(double bearingLeft, double bearingTop);
// The drawn dot's direction from the ring's middle, as PlacedMark::angle.
double DotAngle(double bearingLeft, double bearingTop);

}  // namespace crewmap::navi
