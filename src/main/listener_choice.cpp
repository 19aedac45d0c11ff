#include "main/listener_choice.h"

namespace crewmap::main {
namespace {

int FirstServed(const SocketStates& states, int wanted) {
  for (int n = net::kLowestSocket; n <= kLastServedSocket; ++n)
    if (states[static_cast<std::size_t>(n)] == wanted) return n;
  return 0;
}

}  // namespace

int ListenerAfterAcceptance(const SocketStates& states) {
  if (const int n = FirstServed(states, kStateClosed)) return n;
  return states[kRefusingSocket] == kStateClosed ? kRefusingSocket : 0;
}

int ListenerAfterDeparture(const SocketStates& states) {
  if (FirstServed(states, kStateListening) != 0) return 0;
  return FirstServed(states, kStateClosed);
}

}  // namespace crewmap::main
