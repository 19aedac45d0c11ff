// The IPv6 pinhole: IPv6 needs no address translation, only the router's
// firewall opened for our port (IGD WANIPv6FirewallControl).
#include <memory>
#include <string>

#include <miniupnpc/upnpcommands.h>

#include "net/port_mapping.h"
#include "net/router_session.h"

namespace crewmap::net {

void PortMapping::OpenPinhole(Router& r, RouterReport& report) {
  if (!r.HasIPv6Firewall()) {
    report.pinhole = PinholeOutcome::NoService;
    return;
  }
  int firewallOn = 1, inboundAllowed = 1;
  const char* control = r.urls.controlURL_6FC;
  const char* service = r.data.IPv6FC.servicetype;
  if (UPNP_GetFirewallStatus(control, service, &firewallOn, &inboundAllowed) != UPNPCOMMAND_SUCCESS)
    firewallOn = inboundAllowed = 1;  // unknown: ask anyway
  if (!firewallOn) {
    report.pinhole = PinholeOutcome::FirewallOff;
    return;
  }
  if (!inboundAllowed) {
    report.pinhole = PinholeOutcome::NotAllowed;
    return;
  }
  char id[16] = {};
  const std::string internal = std::to_string(request_.internalPort);
  const std::string lease = std::to_string(request_.leaseSeconds);
  // Any remote host and port ("" and 0); protocol 6 is TCP.
  const int result = UPNP_AddPinhole(control, service, "", "0", request_.ipv6Address.c_str(), internal.c_str(), "6",
                                     lease.c_str(), id);
  if (result == UPNPCOMMAND_SUCCESS) {
    pinholeId_ = id;
    report.pinhole = PinholeOutcome::Opened;
    report.pinholeError = 0;
  } else {
    report.pinhole = PinholeOutcome::Refused;
    report.pinholeError = result;
  }
}

void PortMapping::OpenPinholeWhereAllowed(Router& r, RouterReport& report,
                                          const std::function<std::unique_ptr<Router>()>& overIPv6) {
  OpenPinhole(r, report);
  // A router that lets each address open pinholes only for itself wants
  // the request over IPv6, from that address: find it there and ask again.
  if (report.pinhole != PinholeOutcome::Refused || report.pinholeError != kNotAuthorized) return;
  if (std::unique_ptr<Router> v6 = overIPv6()) {
    RouterReport again = report;
    OpenPinhole(*v6, again);
    if (again.pinhole == PinholeOutcome::Opened) pinholeRouter_ = std::move(v6);
    if (again.pinhole != PinholeOutcome::NoService) report = again;
  }
}

}  // namespace crewmap::net
