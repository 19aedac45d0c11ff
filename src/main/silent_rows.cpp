#include "main/silent_rows.h"

#include <algorithm>

namespace crewmap::main {

int DropSilentRows(net::SlotTable& Slots, std::optional<std::int64_t> vouchedSinceMs, std::int64_t nowMs,
                   std::int64_t silenceMs) {
  int dropped = 0;
  for (net::Slot& slot : Slots) {
    if (slot.Nick.empty()) continue;
    const std::int64_t heard = std::max(slot.HeardAtMs, slot.PointAtMs);
    if (heard == 0 || nowMs - heard <= silenceMs) continue;
    if (vouchedSinceMs && heard >= *vouchedSinceMs) continue;
    slot = net::Slot{};
    ++dropped;
  }
  return dropped;
}

}  // namespace crewmap::main
