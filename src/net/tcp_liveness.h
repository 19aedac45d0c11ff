#pragma once
// Noticing a peer that has gone (its PC asleep, its line or router down)
// while the connection looks open. TCP itself does it, not silence on the
// line: an older peer whose capture fails sends nothing for minutes and is
// alive all the same, and its system answers the probes. Unacknowledged data
// may wait only so long, and an idle connection is probed.
#include <cstdint>

namespace crewmap::net {

struct Liveness {
  // With nothing in flight: the first probe after 10 s of quiet, then every
  // 5 s. The connection ends 20 s after the peer was last heard where the
  // user time-out below also rules the probes (Linux), or once three probes
  // go unanswered (Windows: after 25 s).
  int idleSeconds = 10;
  int intervalSeconds = 5;
  int probes = 3;
  // With data in flight: the connection ends when it has waited this long
  // for an acknowledgement. Either way a gone peer shows within 30 s.
  int userTimeoutMs = 20000;
};

// Sets the options on a connected socket's native handle (a file descriptor,
// or a SOCKET on Windows). False if the system refused any of them; the
// connection works as before, only without the bound.
bool ApplyLiveness(std::intptr_t handle, const Liveness& liveness);

}  // namespace crewmap::net
