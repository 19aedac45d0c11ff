#pragma once
// How many of one member's reports the host relays per second. A member
// reports once a second; one that sends far more would otherwise make the
// host spend its time, and every other member's link, on its lines.
#include <cstdint>

namespace crewmap::net {

struct RelayRate {
  // Relays per second in the long run. Normal traffic is one a second; the
  // limit sits far above that so that a member catching up after a stall, or
  // a fast-reporting one (100 a second), loses nothing, while a flood of
  // tens of thousands of lines a second is cut to this.
  int perSecond = 200;
  // Relays allowed at once after a quiet spell (one second's worth).
  int burst = 200;
};

// A token bucket, one per member slot. Time is passed in, in milliseconds.
class RelayBudget {
 public:
  explicit RelayBudget(RelayRate rate = {}) : rate_(rate), tokensMilli_(std::int64_t{rate.burst} * 1000) {}

  // True if one more relay may go out now (and counts it).
  bool Take(std::int64_t nowMs);
  // Full again (a new member in the slot).
  void Reset();

 private:
  RelayRate rate_;
  std::int64_t tokensMilli_;   // thousandths of a relay
  std::int64_t lastMs_ = -1;
};

}  // namespace crewmap::net
