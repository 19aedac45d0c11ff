#pragma once
// The host's own global IPv6 address. IPv6 has no address translation on
// home lines, so the interface's address is the one members reach; asking
// an echo page would only add a second outside service and another wait.
#include <QString>

namespace crewmap::net {

// A global unicast address (2000::/3) of an interface that is up and not a
// loopback, preferring stable addresses over temporary (privacy) ones, which
// change and would strand the members; tunnels' Teredo addresses are left
// out. Empty when there is none.
QString GlobalIPv6Address();

}  // namespace crewmap::net
