#pragma once
// The player's own recent readings, and the speed and arrival time they give.
// Plain C++ so the rules are tested without a window.
#include <cstdint>
#include <deque>
#include <optional>

namespace crewmap::map {

class OwnTrack {
 public:
  // How far back readings count towards the speed.
  static constexpr std::int64_t kWindowMs = 30000;
  // A step faster than this (game units per second) is no sailing: a misread
  // read-out or a jump; the run starts again from the reading after it.
  static constexpr double kJumpSpeed = 200;

  // A reading of the own position (x, y) taken at `atMs` (steady clock).
  // One not later than the last is ignored: the same reading seen again.
  void Add(std::int64_t atMs, double x, double y);

  // Game units per second along the readings of the last kWindowMs before
  // `nowMs`, the shorter way across the seam; nothing when fewer than two
  // readings lie there.
  std::optional<double> Speed(std::int64_t nowMs) const;

 private:
  struct Reading {
    std::int64_t atMs;
    double x, y;
  };
  std::deque<Reading> readings_;
};

// Whole seconds to cover `distance` at `speed` (game units per second);
// nothing when the speed is unknown or zero, or the time is beyond
// 999 minutes 59 seconds.
std::optional<std::int64_t> ArrivalSeconds(double distance, std::optional<double> speed);

}  // namespace crewmap::map
