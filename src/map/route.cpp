#include "map/route.h"

#include <cmath>

#include "map/transform.h"

namespace crewmap::map {

double WorldDistance(double ax, double ay, double bx, double by) {
  return std::hypot(ShorterDx(bx - ax), by - ay);
}

bool Route::Start(std::vector<Place> places) {
  places_ = std::move(places);
  step_ = 0;
  return Active();
}

bool Route::Forward() {
  if (!Active() || step_ + 1 >= places_.size()) return false;
  ++step_;
  return true;
}

bool Route::Back() {
  if (!Active() || step_ == 0) return false;
  --step_;
  return true;
}

std::string Route::StepText() const {
  if (!Active()) return {};
  return std::to_string(step_ + 1) + "/" + std::to_string(places_.size()) + " " +
         places_[step_].name;
}

std::optional<Route::Arrival> Route::Note(double x, double y, double distance) {
  const Place* place = Current();
  if (!place || WorldDistance(x, y, place->point.x, place->point.y) > distance) return std::nullopt;
  Arrival arrival{*place, static_cast<int>(step_) + 1, static_cast<int>(places_.size()), false};
  if (!Forward()) {
    arrival.last = true;
    Stop();
  }
  return arrival;
}

std::string ArrivalText(const Route::Arrival& arrival) {
  const std::string step =
      " (" + std::to_string(arrival.step) + "/" + std::to_string(arrival.count) + ")";
  return arrival.place.name + (arrival.last ? " に到着しました" + step + " ルートの終わりです"
                                            : " に到着しました" + step);
}

}  // namespace crewmap::map
