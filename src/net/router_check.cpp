// The periodic check of what Open obtained: the router's outside address,
// our mapping and our pinhole, each made again where it has gone.
#include <cstring>
#include <string>

#include <miniupnpc/upnpcommands.h>

#include "net/port_mapping.h"
#include "net/router_session.h"

namespace crewmap::net {

RouterCheck PortMapping::Check(const std::string& ipv6Address, const std::function<bool()>& stopping) {
  auto stop = [&stopping] { return stopping && stopping(); };
  RouterCheck check;
  check.report = last_;
  if (!router_ || last_.mapping == MappingOutcome::NotTried || stop()) return check;
  char external[64] = {};
  const int code = router_->valid ? UPNP_GetExternalIPAddress(router_->Control(), router_->Service(), external) : -1;
  if (code < 0) {
    // No answer where the router was (or none was found at the start):
    // look for it again. A router restarted elsewhere or newly there is
    // asked as at the start; while none answers, nothing is known anew.
    const bool hadRouter = last_.mapping != MappingOutcome::NoRouter;
    check.silent = hadRouter;
    Router found;
    if (stop() || !found.Discover(request_.discoveryMs, false) || stop()) return check;
    const RouterReport before = last_;
    MappingRequest again = request_;
    again.ipv6Address = ipv6Address;
    if (before.mapping == MappingOutcome::Mapped) again.formerExternalPort = before.externalPort;
    check.report = Open(again, stopping);
    check.silent = false;
    const bool mapped = check.report.mapping == MappingOutcome::Mapped;
    check.remade = mapped && hadRouter;
    check.lost = !mapped && before.mapping == MappingOutcome::Mapped;
    return check;
  }
  RouterReport now = last_;
  now.externalAddress = code == UPNPCOMMAND_SUCCESS ? external : "";
  if (!stop()) CheckMapping(*router_, now, check, stop);
  if (!stop()) CheckPinhole(pinholeRouter_ ? *pinholeRouter_ : *router_, ipv6Address, now, check);
  last_ = now;
  check.report = now;
  return check;
}

bool PortMapping::StillMapped(Router& r) const {
  char intClient[16] = {}, intPort[6] = {}, desc[80] = {}, enabled[4] = {}, lease[16] = {};
  const std::string ext = std::to_string(externalPort_);
  return UPNP_GetSpecificPortMappingEntry(r.Control(), r.Service(), ext.c_str(), "TCP", nullptr, intClient, intPort,
                                          desc, enabled, lease) == UPNPCOMMAND_SUCCESS &&
         std::strcmp(intClient, r.lanAddress) == 0 && std::to_string(request_.internalPort) == intPort;
}

void PortMapping::CheckMapping(Router& r, RouterReport& now, RouterCheck& check,
                               const std::function<bool()>& stop) {
  if (externalPort_ == 0 || StillMapped(r) || stop()) return;
  // Gone (a restart that forgot it, a reset): the same port again, else
  // whatever the router allows now, as at the start.
  bool permanent = false;
  int code = AddMapping(r, externalPort_, permanent);
  if (code == UPNPCOMMAND_SUCCESS) {
    permanent_ = permanent;
  } else {
    externalPort_ = 0;
    permanent_ = false;
    request_.formerExternalPort = 0;  // just refused
    RouterReport fresh;
    Map(r, fresh, stop);
    code = fresh.errorCode;
    now.portsTried = fresh.portsTried;
  }
  if (externalPort_ > 0) {
    now.mapping = MappingOutcome::Mapped;
    now.externalPort = externalPort_;
    now.permanent = permanent_;
    check.remade = true;
  } else {
    now.mapping = MappingOutcome::Refused;
    now.externalPort = 0;
    now.errorCode = code;
    check.lost = true;
  }
}

void PortMapping::CheckPinhole(Router& r, const std::string& ipv6Address, RouterReport& now, RouterCheck& check) {
  const std::string lease = std::to_string(request_.leaseSeconds);
  const bool moved = ipv6Address != request_.ipv6Address;
  if (!moved) {
    // Renewing it is the check: a pinhole that has gone cannot be renewed.
    if (pinholeId_.empty() || UPNP_UpdatePinhole(r.urls.controlURL_6FC, r.data.IPv6FC.servicetype,
                                                 pinholeId_.c_str(), lease.c_str()) == UPNPCOMMAND_SUCCESS)
      return;
  } else if (!pinholeId_.empty()) {
    // The old address's pinhole: a router that takes pinhole requests only
    // from the address itself refuses this, and its lease ends it.
    UPNP_DeletePinhole(r.urls.controlURL_6FC, r.data.IPv6FC.servicetype, pinholeId_.c_str());
  }
  pinholeId_.clear();
  request_.ipv6Address = ipv6Address;
  now.ipv6Address = ipv6Address;
  now.pinhole = PinholeOutcome::NotTried;
  if (!ipv6Address.empty()) OpenPinhole(r, now);
  // A new address is said by the box's row; a pinhole that had gone, here.
  if (!moved) (now.pinhole == PinholeOutcome::Opened ? check.remade : check.lost) = true;
}

}  // namespace crewmap::net
