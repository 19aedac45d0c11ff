#pragma once
// Where the saved places show on the map area and which of their names fit:
// every mark in the view is drawn, a name only where it covers no mark and
// no name placed before it (right of its mark, else left of it). Plain C++.
#include <cstddef>
#include <functional>
#include <vector>

#include "map/map_scene.h"
#include "map/places.h"

namespace crewmap::map {

struct PlaceSpot {
  std::size_t place = 0;  // index into the places
  int x = 0, y = 0;       // the mark's centre, area pixels
  bool named = false;     // its name shows, its top-left corner at:
  int labelLeft = 0, labelTop = 0;
  bool operator==(const PlaceSpot&) const = default;
};

// Half the size of a mark, pixels.
inline constexpr int kPlaceMarkRadius = 3;

// The places of `places` inside an area of areaW x areaH pixels showing
// `view`, in their order; `labelSize(i)` gives the width and height of
// place i's name in pixels. A place is drawn at the copy of the world
// nearest the view's middle.
struct LabelSize {
  int w = 0, h = 0;
};
std::vector<PlaceSpot> LayOutPlaces(const std::vector<Place>& places, const ViewState& view,
                                    int areaW, int areaH,
                                    const std::function<LabelSize(std::size_t)>& labelSize);

}  // namespace crewmap::map
