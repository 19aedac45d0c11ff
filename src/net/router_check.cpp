// The periodic check of what Open obtained: the router's outside address,
// our mapping and our pinhole. What has gone, or was refused before, is
// asked for again at every check; what a router left unanswered stays as it
// was, so a request lost on the way never costs a mapping that works.
#include <cstring>
#include <memory>
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
  const bool hadRouter = last_.mapping != MappingOutcome::NoRouter;
  char external[64] = {};
  int code = router_->valid && hadRouter ? UPNP_GetExternalIPAddress(router_->Control(), router_->Service(), external)
                                         : -1;
  if (code < 0) {
    // No answer where the router was (or none was found at the start):
    // look for it again. While none answers, nothing is known anew.
    check.silent = hadRouter;
    auto found = std::make_unique<Router>();
    if (stop() || !found->Discover(request_.discoveryMs, false) || stop()) return check;
    if (!hadRouter) {
      // A router there for the first time is asked as at the start.
      MappingRequest again = request_;
      again.ipv6Address = ipv6Address;
      check.report = Open(again, stopping);
      check.silent = false;
      return check;
    }
    // The router answers again (back from a restart, perhaps on another
    // port, or it had only missed a request): what we hold is looked for
    // there and kept where it still stands, never removed to be made anew.
    router_ = std::move(found);
    if (pinholeRouter_) {
      auto v6 = std::make_unique<Router>();
      if (!stop() && v6->Discover(request_.discoveryMs, true)) pinholeRouter_ = std::move(v6);
    }
    if (stop()) return check;
    code = UPNP_GetExternalIPAddress(router_->Control(), router_->Service(), external);
    if (code < 0) return check;
    check.silent = false;
  }
  RouterReport now = last_;
  now.externalAddress = code == UPNPCOMMAND_SUCCESS ? external : "";
  if (!stop()) CheckMapping(*router_, now, check, stop);
  if (!stop()) CheckPinhole(ipv6Address, now, check, stop);
  last_ = now;
  check.report = now;
  return check;
}

PortMapping::Presence PortMapping::MappingPresence(Router& r) const {
  char intClient[16] = {}, intPort[6] = {}, desc[80] = {}, enabled[4] = {}, lease[16] = {};
  const std::string ext = std::to_string(externalPort_);
  const int code = UPNP_GetSpecificPortMappingEntry(r.Control(), r.Service(), ext.c_str(), "TCP", nullptr, intClient,
                                                    intPort, desc, enabled, lease);
  if (code < 0) return Presence::Unknown;
  if (code == kInvalidAction || code == kActionNotImplemented) {
    // A router that cannot tell: asked for it again, which keeps it as it
    // stands, and said gone only when refused.
    bool permanent = false;
    const int added = AddMapping(r, externalPort_, permanent);
    return added < 0 ? Presence::Unknown : added == UPNPCOMMAND_SUCCESS ? Presence::There : Presence::Gone;
  }
  // Any answer but our entry: the router no longer forwards the port to us.
  return code == UPNPCOMMAND_SUCCESS && std::strcmp(intClient, r.lanAddress) == 0 &&
                 std::to_string(request_.internalPort) == intPort
             ? Presence::There
             : Presence::Gone;
}

void PortMapping::CheckMapping(Router& r, RouterReport& now, RouterCheck& check,
                               const std::function<bool()>& stop) {
  const bool had = externalPort_ > 0;
  if (had) {
    const Presence presence = MappingPresence(r);
    if (presence == Presence::Unknown) check.unanswered = true;
    if (presence != Presence::Gone) return;
    // Gone while the router answers: a restart that forgot it, a reset.
    externalPort_ = 0;
    permanent_ = false;
    probe_ = -1;  // the router's rules may have changed with it: searched in full
  }
  if (stop()) return;
  // Missing (gone, refused, or never granted): asked for as at the start,
  // the port members were given first.
  RouterReport fresh;
  Map(r, fresh, stop);
  if (fresh.errorCode < 0) check.unanswered = true;
  if (externalPort_ > 0) {
    request_.formerExternalPort = externalPort_;
    now.mapping = MappingOutcome::Mapped;
    now.externalPort = externalPort_;
    now.permanent = permanent_;
    now.portsTried = fresh.portsTried;
    check.remade = had;
  } else {
    // A search not run again leaves said what the last one found.
    if (now.mapping != MappingOutcome::Refused || fresh.portsTried > now.portsTried) now.portsTried = fresh.portsTried;
    now.mapping = MappingOutcome::Refused;
    now.externalPort = 0;
    now.errorCode = fresh.errorCode;
    check.lost = had;
  }
}

void PortMapping::CheckPinhole(const std::string& ipv6Address, RouterReport& now, RouterCheck& check,
                               const std::function<bool()>& stop) {
  Router& r = pinholeRouter_ ? *pinholeRouter_ : *router_;
  const std::string lease = std::to_string(request_.leaseSeconds);
  const bool moved = ipv6Address != request_.ipv6Address;
  if (!moved && !pinholeId_.empty()) {
    // Renewing it is the check: a pinhole that has gone cannot be renewed.
    const int code = UPNP_UpdatePinhole(r.urls.controlURL_6FC, r.data.IPv6FC.servicetype, pinholeId_.c_str(),
                                        lease.c_str());
    if (code == UPNPCOMMAND_SUCCESS) return;
    if (code < 0) {
      check.unanswered = true;  // no answer says nothing of it
      return;
    }
  } else if (moved && !pinholeId_.empty()) {
    // The old address's pinhole: a router that takes pinhole requests only
    // from the address itself refuses this, and its lease ends it.
    UPNP_DeletePinhole(r.urls.controlURL_6FC, r.data.IPv6FC.servicetype, pinholeId_.c_str());
  } else if (!moved && now.pinhole != PinholeOutcome::Refused) {
    return;  // none wanted, or none the router offers or needs
  }
  const bool gone = !moved && !pinholeId_.empty();
  pinholeId_.clear();
  request_.ipv6Address = ipv6Address;
  now.ipv6Address = ipv6Address;
  now.pinhole = PinholeOutcome::NotTried;
  if (!ipv6Address.empty()) {
    OpenPinholeWhereAllowed(r, now, [&]() -> std::unique_ptr<Router> {
      auto v6 = std::make_unique<Router>();
      if (pinholeRouter_ || stop() || !v6->Discover(request_.discoveryMs, true)) return nullptr;
      return v6;
    });
  }
  if (now.pinhole == PinholeOutcome::Refused && now.pinholeError < 0) check.unanswered = true;
  // A new address is said by the box's row; a pinhole that had gone, here.
  if (gone) (now.pinhole == PinholeOutcome::Opened ? check.remade : check.lost) = true;
}

}  // namespace crewmap::net
