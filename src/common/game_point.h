#pragma once
// A spot in the world in whole game units (x eastwards, y southwards), as
// positions and the group's meeting point are written on the wire ("x,y").
#include <cstdint>

namespace crewmap {

struct GamePoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const GamePoint&) const = default;
};

}  // namespace crewmap
