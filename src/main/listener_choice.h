#pragma once
// Which of the host's sockets listens next. The host keeps exactly one socket
// listening on the shared port whenever a slot is free.
#include <array>

#include "net/slots.h"

namespace crewmap::main {

// Socket states as the socket control numbers them (only these matter here).
inline constexpr int kStateClosed = 0;
inline constexpr int kStateListening = 2;
inline constexpr int kStateConnecting = 6;
inline constexpr int kStateConnected = 7;
inline constexpr int kStateClosing = 8;
inline constexpr int kStateError = 9;

// State of Winsock(1)..Winsock(9) at index 1..9; index 0 is unused.
using SocketStates = std::array<int, net::kHighestSocket + 1>;

// After an acceptance: the first closed socket in index order, or 0 when
// every socket is taken (then nobody listens until a departure).
int ListenerAfterAcceptance(const SocketStates& states);

// After a departure: 0 (keep things as they are) when a socket still listens,
// else the first closed socket. Without this a host that once had nine
// members could never accept anyone again.
int ListenerAfterDeparture(const SocketStates& states);

}  // namespace crewmap::main
