#pragma once
// Which of the machine's IPv6 addresses the host offers members: a plain
// choice over the interfaces' addresses and flags, so it is tested as a
// table; GlobalIPv6Address (global_ipv6.h) feeds it the real interfaces.
#include <array>
#include <vector>

namespace crewmap::net {

struct Ipv6Candidate {
  std::array<unsigned char, 16> bytes{};
  bool interfaceUp = true;       // up and running
  bool loopback = false;         // a loopback interface
  bool temporary = false;        // a temporary (privacy) address
  bool deprecated = false;       // its preferred lifetime has run out
};

// The index of the address to offer, or -1: a global unicast address
// (2000::/3, Teredo's 2001::/32 left out) of an interface that is up and not
// a loopback, and not deprecated. A stable address wins over a temporary one
// wherever either comes: temporary addresses change within a day and would
// strand the members who were given one.
int ChooseGlobalIPv6(const std::vector<Ipv6Candidate>& candidates);

}  // namespace crewmap::net
