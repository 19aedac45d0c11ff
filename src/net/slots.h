#pragma once
// The slot table: entry 0 is the host, entry n (1..9) the member connected
// through socket n. Texts are UTF-8 (nicknames are decoded from code page 932
// on arrival; positions are ASCII "x,y" or empty).
#include <array>
#include <cstdint>
#include <string>

namespace crewmap::net {

struct Slot {
  std::string Nick;
  std::string Point;
  // When the last non-empty Point was stored (steady clock, ms); 0: never.
  // The map draws a position that has not been renewed for a while as old.
  std::int64_t PointAtMs = 0;
  // When the slot's member was last heard of, with or without a position
  // (steady clock, ms); 0: never. A member drops rows it no longer hears of.
  std::int64_t HeardAtMs = 0;
};

inline constexpr int kLowestSocket = 1;
inline constexpr int kHighestSocket = 9;
using SlotTable = std::array<Slot, kHighestSocket + 1>;  // indices 0..9

}  // namespace crewmap::net
