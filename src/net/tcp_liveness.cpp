#include "net/tcp_liveness.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

// Windows 10 (1709) and later take these; older headers may not name them.
#ifndef TCP_KEEPIDLE
#define TCP_KEEPIDLE 3
#endif
#ifndef TCP_MAXRT
#define TCP_MAXRT 5
#endif
#ifndef TCP_KEEPCNT
#define TCP_KEEPCNT 16
#endif
#ifndef TCP_KEEPINTVL
#define TCP_KEEPINTVL 17
#endif
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace crewmap::net {

#ifdef _WIN32

bool ApplyLiveness(std::intptr_t handle, const Liveness& liveness) {
  const auto s = static_cast<SOCKET>(handle);
  auto set = [s](int level, int name, DWORD value) {
    return setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
  };
  // TCP_MAXRT counts whole seconds.
  const DWORD maxRtSeconds = static_cast<DWORD>((liveness.userTimeoutMs + 999) / 1000);
  bool ok = set(SOL_SOCKET, SO_KEEPALIVE, TRUE);
  const bool times = set(IPPROTO_TCP, TCP_KEEPIDLE, static_cast<DWORD>(liveness.idleSeconds)) &&
                     set(IPPROTO_TCP, TCP_KEEPINTVL, static_cast<DWORD>(liveness.intervalSeconds));
  if (!times) {
    // Systems that lack the options above still take both times through
    // the older control call (with the system's own count of probes).
    tcp_keepalive values{1, static_cast<ULONG>(liveness.idleSeconds) * 1000,
                         static_cast<ULONG>(liveness.intervalSeconds) * 1000};
    DWORD bytes = 0;
    ok = WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &bytes, nullptr, nullptr) == 0 && ok;
  }
  ok = set(IPPROTO_TCP, TCP_KEEPCNT, static_cast<DWORD>(liveness.probes)) && ok;
  ok = set(IPPROTO_TCP, TCP_MAXRT, maxRtSeconds) && ok;
  return ok;
}

#else

bool ApplyLiveness(std::intptr_t handle, const Liveness& liveness) {
  const int fd = static_cast<int>(handle);
  auto set = [fd](int level, int name, int value) {
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
  };
  bool ok = set(SOL_SOCKET, SO_KEEPALIVE, 1);
  ok = set(IPPROTO_TCP, TCP_KEEPIDLE, liveness.idleSeconds) && ok;
  ok = set(IPPROTO_TCP, TCP_KEEPINTVL, liveness.intervalSeconds) && ok;
  ok = set(IPPROTO_TCP, TCP_KEEPCNT, liveness.probes) && ok;
  ok = set(IPPROTO_TCP, TCP_USER_TIMEOUT, liveness.userTimeoutMs) && ok;
  return ok;
}

#endif

}  // namespace crewmap::net
