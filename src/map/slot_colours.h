#pragma once
// Each slot's colours (0xRRGGBB): its marker's fill and border on the map,
// its trail, its mark on the overlay's ring. Slot 8 repeats slot 0's.
#include <cstdint>

namespace crewmap::map {

struct SlotColours {
  std::uint32_t fill;
  std::uint32_t border;
};

inline constexpr SlotColours kSlotColours[9] = {
    {0xFF8080, 0xC00000}, {0xFFC080, 0xC04000}, {0xFFFF80, 0xC0C000}, {0x80FF80, 0x00C000}, {0x80FFFF, 0x00C0C0},
    {0x8080FF, 0x0000C0}, {0xFF80FF, 0xC000C0}, {0xE0E0E0, 0x808080}, {0xFF8080, 0xC00000},
};

}  // namespace crewmap::map
