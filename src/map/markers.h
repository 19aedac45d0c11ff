#pragma once
#include <cstdint>

#include "net/slots.h"

namespace crewmap::map {

// Run by the main tick: when the map window is visible, centres the view on
// the player if asked, places the markers of slots 0..8 and hands the offset
// to the target to the navigation window.
void UpdateMapMarkers(const net::SlotTable& Slots, std::int16_t MySlot);

}  // namespace crewmap::map
