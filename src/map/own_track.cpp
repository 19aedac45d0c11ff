#include "map/own_track.h"

#include <cmath>

#include "map/transform.h"

namespace crewmap::map {

namespace {
double StepLength(double x0, double y0, double x1, double y1) {
  return std::hypot(ShorterDx(x1 - x0), y1 - y0);
}
}  // namespace

void OwnTrack::Add(std::int64_t atMs, double x, double y) {
  if (!readings_.empty()) {
    const Reading& last = readings_.back();
    if (atMs <= last.atMs) return;
    const double seconds = static_cast<double>(atMs - last.atMs) / 1000.0;
    if (StepLength(last.x, last.y, x, y) > kJumpSpeed * seconds) readings_.clear();
  }
  readings_.push_back({atMs, x, y});
  while (readings_.front().atMs < atMs - kWindowMs) readings_.pop_front();
}

std::optional<double> OwnTrack::Speed(std::int64_t nowMs) const {
  const Reading* first = nullptr;
  const Reading* previous = nullptr;
  double path = 0;
  for (const Reading& r : readings_) {
    if (r.atMs < nowMs - kWindowMs) continue;
    if (previous) path += StepLength(previous->x, previous->y, r.x, r.y);
    if (!first) first = &r;
    previous = &r;
  }
  if (!first || previous->atMs <= first->atMs) return std::nullopt;
  return path * 1000.0 / static_cast<double>(previous->atMs - first->atMs);
}

std::optional<std::int64_t> ArrivalSeconds(double distance, std::optional<double> speed) {
  constexpr double kLongest = 999 * 60 + 59;
  if (!speed || !(*speed > 0) || !std::isfinite(distance)) return std::nullopt;
  const double seconds = std::ceil(distance / *speed);
  if (!(seconds <= kLongest)) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

}  // namespace crewmap::map
