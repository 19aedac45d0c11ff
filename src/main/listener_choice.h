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

// Members are served in slots 1..8: those are the slots every instance sends
// positions to, lists and draws. Socket 9 only listens while 1..8 are all
// taken, to tell whoever connects then that the group is full.
inline constexpr int kLastServedSocket = 8;
inline constexpr int kRefusingSocket = 9;

// After an acceptance: the first closed socket among 1..8; when all are
// taken, socket 9 if closed (it refuses); else 0 (nobody listens).
int ListenerAfterAcceptance(const SocketStates& states);

// After a departure: 0 (keep things as they are) when a socket among 1..8
// still listens, else the first closed one among them (socket 9 stops
// refusing then), else 0. Without this a host that once was full could never
// accept anyone again.
int ListenerAfterDeparture(const SocketStates& states);

}  // namespace crewmap::main
