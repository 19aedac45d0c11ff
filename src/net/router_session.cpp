#include "net/router_session.h"

#include <algorithm>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <pthread.h>
#include <signal.h>
#endif

namespace crewmap::net {
namespace {

// The first, short discovery (see Router::Discover).
constexpr int kQuickDiscoveryMs = 1000;

}  // namespace

PortMapping::Router::Router() {
#ifdef _WIN32
  WSADATA wsa;
  winsock = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
#else
  // A router that drops the connection while we write to it must cost us
  // an error, not the process (the library may write without MSG_NOSIGNAL).
  // The signal goes to the writing thread, the one that talks to routers.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
#endif
}

PortMapping::Router::~Router() {
  if (valid) FreeUPNPUrls(&urls);
#ifdef _WIN32
  if (winsock) WSACleanup();
#endif
}

bool PortMapping::Router::Discover(int delayMs, bool ipv6) {
  return DiscoverWithin(std::min(delayMs, kQuickDiscoveryMs), ipv6) ||
         (delayMs > kQuickDiscoveryMs && DiscoverWithin(delayMs, ipv6));
}

bool PortMapping::Router::DiscoverWithin(int delayMs, bool ipv6) {
  if (valid) FreeUPNPUrls(&urls);
  valid = false;
  int error = 0;
  // One search for the gateway type: every gateway answers it (later
  // versions answer searches for earlier ones), and each further type
  // searched for would add another full wait when nothing answers.
  UPNPDev* devices = upnpDiscoverDevice("urn:schemas-upnp-org:device:InternetGatewayDevice:1", delayMs, nullptr,
                                        nullptr, UPNP_LOCAL_PORT_ANY, ipv6 ? 1 : 0, 2, &error);
  if (!devices) return false;
#if MINIUPNPC_API_VERSION >= 18
  char wan[64] = {};
  const int igd = UPNP_GetValidIGD(devices, &urls, &data, lanAddress, sizeof lanAddress, wan, sizeof wan);
  const bool gateway = igd >= 1 && igd <= 3;
#else
  const int igd = UPNP_GetValidIGD(devices, &urls, &data, lanAddress, sizeof lanAddress);
  const bool gateway = igd == 1 || igd == 2;
#endif
  freeUPNPDevlist(devices);
  valid = igd != 0;
  return gateway;
}

}  // namespace crewmap::net
