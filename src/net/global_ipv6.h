#pragma once
// The host's own global IPv6 address. IPv6 has no address translation on
// home lines, so the interface's address is the one members reach; asking
// an echo page would only add a second outside service and another wait.
#include <QString>

namespace crewmap::net {

// The address ChooseGlobalIPv6 (ipv6_choice.h) picks among every
// interface's IPv6 addresses, without a scope. Empty when there is none.
QString GlobalIPv6Address();

}  // namespace crewmap::net
