#pragma once
// Following a member on the map: the target moves with the member's newest
// position every tick until the member leaves. Plain C++ over the slot table.
#include <optional>
#include <string>

#include "map/position_text.h"
#include "net/slots.h"

namespace crewmap::map {

struct Follow {
  int slot = -1;      // the slot followed; -1: nobody
  std::string nick;   // its nickname when following began
  bool left = false;  // the member has gone: the target stays where it was last

  bool Active() const { return slot >= 0 && !left; }
};

// One tick of following against the followed slot's entry. Gives the
// member's newest position while it is there and has one; marks the member
// as gone when its slot was emptied or taken by another nickname.
std::optional<GamePosition> StepFollow(Follow& follow, const net::Slot& entry);

}  // namespace crewmap::map
