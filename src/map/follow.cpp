#include "map/follow.h"

namespace crewmap::map {

std::optional<GamePosition> StepFollow(Follow& follow, const net::Slot& entry) {
  if (!follow.Active()) return std::nullopt;
  if (entry.Nick.empty() || entry.Nick != follow.nick) {
    follow.left = true;
    return std::nullopt;
  }
  return ParsePosition(entry.Point);
}

}  // namespace crewmap::map
