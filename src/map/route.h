#pragma once
// A route: places sailed one after the other. The current step's place is
// the target; once the player comes within the arrival distance of it
// (measured the shorter way round the east-west seam), the next place
// becomes the target by itself. Plain C++, tested without a window.
#include <optional>
#include <string>
#include <vector>

#include "map/places.h"

namespace crewmap::map {

// How near a place counts as arrived, in game units, unless the settings
// file says otherwise.
inline constexpr double kDefaultArrivalDistance = 30;

// The distance in game units between two spots, the shorter way east-west.
double WorldDistance(double ax, double ay, double bx, double by);

class Route {
 public:
  // Starts at the first place. False (and no route) for no places.
  bool Start(std::vector<Place> places);
  void Stop() { places_.clear(); }
  bool Active() const { return !places_.empty(); }

  // One step forward or back; false at either end.
  bool Forward();
  bool Back();

  // The current place, nothing without a route.
  const Place* Current() const { return Active() ? &places_[step_] : nullptr; }
  // "2/5 喜望峰"; "" without a route.
  std::string StepText() const;

  struct Arrival {
    Place place;
    int step = 0;  // from 1
    int count = 0;
    bool last = false;  // the route ended with it
  };
  // The own position (x, y) at a tick: within `distance` of the current
  // place, that place is reached and the next becomes current (after the
  // last, the route ends).
  std::optional<Arrival> Note(double x, double y, double distance);

 private:
  std::vector<Place> places_;
  std::size_t step_ = 0;
};

// The activity log's words for an arrival: "喜望峰 に到着しました (2/5)",
// and after the last place "... ルートの終わりです".
std::string ArrivalText(const Route::Arrival& arrival);

}  // namespace crewmap::map
