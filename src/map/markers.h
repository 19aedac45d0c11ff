#pragma once
#include <cstdint>

#include "common/steady_ms.h"
#include "net/slots.h"

namespace crewmap::map {

// Run by the main tick: when the map window is visible, centres the view on
// the player if asked, places the markers of slots 0..8 (faded with their
// age when old at `nowMs`) and hands the offset to the target to the
// navigation window. The map keeps the table for following whether it is
// visible or not.
void UpdateMapMarkers(const net::SlotTable& Slots, std::int16_t MySlot, std::int64_t nowMs = SteadyNowMs());

}  // namespace crewmap::map
