#pragma once
// Holds back a reading that jumped. The game moves a ship further than it can
// sail only behind a screen without the read-out (a port, a loading screen),
// so a reading that lands far from the last one while the read-out stayed in
// view is no voyage: most often something lies over the read-out's end and
// leaves a shorter number that still looks whole (a box that starts at a
// cell's edge). Such a reading is held back, and so is every reading that
// goes on from it, until either a reading comes back within sailing reach of
// the last one that counted (the box went away) or the read-out has been
// gone for kAbsentCaptures captures in a row (after which the first reading
// counts whatever it is: the ship may have been moved).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reader/origin.h"

namespace crewmap::reader {

class ReadingGuard {
 public:
  static constexpr int kAbsentCaptures = 2;  // one alone may be the game repainting
  // How far a ship may have sailed since the last reading that counted:
  // kLargestStep within the first seconds, then kTopSpeed a second.
  static constexpr int kTopSpeed = 16;  // game units a second, well above any ship

  // A reading made at `origin` at `nowMs`: true when it counts.
  bool Counts(ReadoutOrigin origin, const std::string& text, std::int64_t nowMs);
  // A capture saw the read-out but could not read it (partly covered).
  void Present() { absent_ = 0; }
  // A capture saw no read-out at any known place.
  void Absent() { ++absent_; }
  // A new window or size: nothing is known.
  void Reset();

  bool Holding() const { return held_.has_value(); }

 private:
  struct Last {
    ReadoutOrigin origin;
    std::string text;
    std::int64_t atMs = 0;
  };
  std::optional<Last> last_;         // the last reading that counted
  std::optional<std::string> held_;  // the latest reading held back
  int absent_ = 0;
};

// Whether `to` lies within sailing reach of `from` after `elapsedMs` (the
// shorter way across the east-west seam). Texts that are no world position
// are within reach only of themselves.
bool WithinReach(std::string_view from, std::string_view to, std::int64_t elapsedMs);

}  // namespace crewmap::reader
