#pragma once
// The saved places drawn over the map: a small diamond for each and the
// names that fit (see LayOutPlaces), straight into the frame's pixels.
#include <QImage>
#include <QRect>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "map/place_layout.h"

namespace crewmap::map {

// A name as drawn over the map: light letters with a black outline, without
// anti-aliasing, one byte a pixel (0 clear, 1 outline, 2 letter). Hundreds
// of names are then a small part of the bytes a frame moves.
struct PlaceLabel {
  int w = 0, h = 0;
  std::vector<std::uint8_t> pixels;  // h rows of w
};
using PlaceLabelRef = std::shared_ptr<const PlaceLabel>;

// One place as the map area draws it.
struct PlaceMark {
  PlaceSpot spot;
  PlaceLabelRef label;  // its name; drawn when spot.named
  bool operator==(const PlaceMark&) const = default;
};

// The names, each made once.
class PlaceLabels {
 public:
  const PlaceLabelRef& For(const std::string& name);

 private:
  std::unordered_map<std::string, PlaceLabelRef> labels_;
};

// Draws the marks (area pixels) over what `dst` holds: the pixels `rect` of
// the area, the rect's top-left one at `dst`, `stride` bytes per row, 32-bit.
void DrawPlaceMarks(std::span<const PlaceMark> marks, const QRect& rect, uchar* dst,
                    qsizetype stride);

}  // namespace crewmap::map
