#pragma once
// One conversation with the home router over UPnP IGD: the gateway found by
// SSDP discovery and its control addresses, shared by the pieces of
// PortMapping (mapping, port search, pinholes, the periodic check). Private
// to them; the rest of the program sees only PortMapping.
#include <miniupnpc/miniupnpc.h>

#include <string_view>

#include "net/port_mapping.h"

namespace crewmap::net {

// UPnP error codes the decisions of PortMapping look at.
inline constexpr int kOnlyPermanentLeases = 725;
inline constexpr int kSamePortRequired = 724;
inline constexpr int kNotAuthorized = 606;
inline constexpr int kInvalidAction = 401;
inline constexpr int kActionNotImplemented = 602;

struct PortMapping::Router {
  UPNPUrls urls{};
  IGDdatas data{};
  char lanAddress[64] = {};
  bool valid = false;
#ifdef _WIN32
  bool winsock = false;
#endif

  Router();
  ~Router();
  Router(const Router&) = delete;
  Router& operator=(const Router&) = delete;

  // SSDP discovery over IPv4 or IPv6; true when an internet gateway answered.
  // Asked to answer within a second, a gateway nearly always has by then:
  // only when none did does the search wait its whole time, once more.
  bool Discover(int delayMs, bool ipv6);
  bool DiscoverWithin(int delayMs, bool ipv6);

  const char* Control() const { return urls.controlURL; }
  const char* Service() const { return data.first.servicetype; }
  bool Version2() const { return std::string_view(data.first.servicetype).find(":2") != std::string_view::npos; }
  bool HasIPv6Firewall() const {
    return urls.controlURL_6FC && urls.controlURL_6FC[0] != '\0' && data.IPv6FC.servicetype[0] != '\0';
  }
};

}  // namespace crewmap::net
