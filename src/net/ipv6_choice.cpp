#include "net/ipv6_choice.h"

namespace crewmap::net {

int ChooseGlobalIPv6(const std::vector<Ipv6Candidate>& candidates) {
  int temporary = -1;
  for (int i = 0; i < static_cast<int>(candidates.size()); ++i) {
    const Ipv6Candidate& c = candidates[static_cast<std::size_t>(i)];
    const auto& b = c.bytes;
    const bool global = (b[0] & 0xE0) == 0x20;
    const bool teredo = b[0] == 0x20 && b[1] == 0x01 && b[2] == 0 && b[3] == 0;
    if (!c.interfaceUp || c.loopback || !global || teredo || c.deprecated) continue;
    if (!c.temporary) return i;
    if (temporary < 0) temporary = i;
  }
  return temporary;
}

}  // namespace crewmap::net
