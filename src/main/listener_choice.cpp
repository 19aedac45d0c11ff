#include "main/listener_choice.h"

namespace crewmap::main {

int ListenerAfterAcceptance(const SocketStates& states) {
  for (int n = net::kLowestSocket; n <= net::kHighestSocket; ++n)
    if (states[static_cast<std::size_t>(n)] == kStateClosed) return n;
  return 0;
}

int ListenerAfterDeparture(const SocketStates& states) {
  for (int n = net::kLowestSocket; n <= net::kHighestSocket; ++n)
    if (states[static_cast<std::size_t>(n)] == kStateListening) return 0;
  return ListenerAfterAcceptance(states);
}

}  // namespace crewmap::main
