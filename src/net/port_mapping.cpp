#include "net/port_mapping.h"

#include <cstring>
#include <future>
#include <string>
#include <vector>

#include <miniupnpc/upnpcommands.h>

#include "net/router_rules.h"
#include "net/router_session.h"

namespace crewmap::net {
namespace {

// The longest mapping table that is searched for leftovers of ours.
constexpr int kMaxMappingEntries = 512;

// A port number as the router wrote it (1..65535, digits only), else 0.
int ParsePort(const char* text) {
  int port = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return 0;
    port = port * 10 + (*c - '0');
    if (port > 65535) return 0;
  }
  return port;
}

}  // namespace

PortMapping::PortMapping() = default;

PortMapping::~PortMapping() { Close(); }

RouterReport PortMapping::Open(const MappingRequest& request, const std::function<bool()>& stopping) {
  last_ = Ask(request, stopping);
  return last_;
}

RouterReport PortMapping::Ask(const MappingRequest& request, const std::function<bool()>& stopping) {
  Close();
  request_ = request;
  RouterReport report;
  report.ipv6Address = request.ipv6Address;
  router_ = std::make_unique<Router>();
  Router& r = *router_;
  auto stop = [&stopping] { return stopping && stopping(); };
  if (stop()) return report;

  // The router as seen over IPv6 is looked for at the same time, in case
  // the pinhole must be asked for from our IPv6 address (below): discovery
  // waits its full time, and one wait is enough.
  std::future<std::unique_ptr<Router>> overIPv6;
  if (!request.ipv6Address.empty())
    overIPv6 = std::async(std::launch::async, [delay = request.discoveryMs] {
      auto found = std::make_unique<Router>();
      if (!found->Discover(delay, true)) found.reset();
      return found;
    });

  if (!r.Discover(request.discoveryMs, false)) {
    report.mapping = MappingOutcome::NoRouter;
    // A router that answers only over IPv6 may still open the pinhole.
    if (overIPv6.valid()) {
      if (std::unique_ptr<Router> v6 = overIPv6.get(); v6 && !stop()) {
        OpenPinhole(*v6, report);
        if (report.pinhole == PinholeOutcome::Opened) pinholeRouter_ = std::move(v6);
      }
    }
    return report;
  }
  if (stop()) return report;

  char external[64] = {};
  if (UPNP_GetExternalIPAddress(r.Control(), r.Service(), external) == UPNPCOMMAND_SUCCESS)
    report.externalAddress = external;

  // Leftovers: our description, our address and port. Removing them first
  // means a restart after a crash replaces the mapping instead of adding a
  // second one at another port.
  OurMappings(r, true, stop, &forwardedPorts_);
  if (stop()) return report;
  Map(r, report, stop);
  if (externalPort_ > 0) {
    request_.formerExternalPort = externalPort_;
    report.mapping = MappingOutcome::Mapped;
    report.externalPort = externalPort_;
    report.permanent = permanent_;
  } else {
    report.mapping = MappingOutcome::Refused;
  }

  // IPv6: no address translation, only the router's firewall to open.
  if (!request.ipv6Address.empty() && !stop())
    OpenPinholeWhereAllowed(r, report, [&] { return stop() ? nullptr : overIPv6.get(); });
  return report;
}

int PortMapping::AddMapping(Router& r, int externalPort, bool& permanent) const {
  const std::string ext = std::to_string(externalPort);
  const std::string internal = std::to_string(request_.internalPort);
  const std::string lease = std::to_string(request_.leaseSeconds);
  permanent = false;
  int code = UPNP_AddPortMapping(r.Control(), r.Service(), ext.c_str(), internal.c_str(), r.lanAddress,
                                 request_.description.c_str(), "TCP", nullptr, lease.c_str());
  if (code == kOnlyPermanentLeases) {
    code = UPNP_AddPortMapping(r.Control(), r.Service(), ext.c_str(), internal.c_str(), r.lanAddress,
                               request_.description.c_str(), "TCP", nullptr, "0");
    permanent = code == UPNPCOMMAND_SUCCESS;
  }
  return code;
}

void PortMapping::Map(Router& r, RouterReport& report, const std::function<bool()>& stop) {
  const std::string internal = std::to_string(request_.internalPort);
  const std::string lease = std::to_string(request_.leaseSeconds);
  // Our own port first; a router that takes only leases without end is
  // asked again for one (said in the log, and removed on close like any other).
  report.portsTried = 1;
  const int former = request_.formerExternalPort;
  if (former > 0 && former != request_.internalPort && !stop()) {
    if (AddMapping(r, former, permanent_) == UPNPCOMMAND_SUCCESS) {
      externalPort_ = former;
      return;
    }
  }
  int code = AddMapping(r, request_.internalPort, permanent_);
  report.errorCode = code;
  if (code == UPNPCOMMAND_SUCCESS) externalPort_ = request_.internalPort;
  if (code == UPNPCOMMAND_SUCCESS || code == kSamePortRequired || code < 0) return;

  // An IGD v1 router is searched only where another port may be granted.
  bool search = RefusalDependsOnPort(code);
  // A refusal of another kind (a router still starting, say) ends what a
  // search that found nothing said: a later one is searched for in full.
  if (!search) probe_ = -1;
  if (r.Version2() && !stop()) {
    // IGD v2 routers choose a free port of their own.
    char reserved[8] = {};
    code = UPNP_AddAnyPortMapping(r.Control(), r.Service(), internal.c_str(), internal.c_str(), r.lanAddress,
                                  request_.description.c_str(), "TCP", nullptr, lease.c_str(), reserved);
    if (code == kOnlyPermanentLeases) {
      code = UPNP_AddAnyPortMapping(r.Control(), r.Service(), internal.c_str(), internal.c_str(), r.lanAddress,
                                    request_.description.c_str(), "TCP", nullptr, "0", reserved);
      permanent_ = code == UPNPCOMMAND_SUCCESS;
    }
    if (code == UPNPCOMMAND_SUCCESS) {
      // A mapping was made even where its port cannot be read: it is looked
      // up in the router's table, and whatever of ours is there goes on close.
      externalPort_ = ParsePort(reserved);
      if (externalPort_ == 0) {
        sweepOnClose_ = true;
        if (!stop()) externalPort_ = OurMappings(r, false, stop);
      }
      if (externalPort_ > 0) return;
      permanent_ = false;
    } else {
      report.errorCode = code;
      // Only where the router does not know the action is a port searched
      // for; other refusals would meet every port alike.
      search = code == kInvalidAction || code == kActionNotImplemented;
    }
  }
  if (search && !stop()) {
    if (probe_ < 0)
      Search(r, report, stop);
    else
      Probe(r);
  }
}

int PortMapping::OurMappings(Router& r, bool remove, const std::function<bool()>& stop,
                             std::vector<int>* forwarded) {
  const std::string internal = std::to_string(request_.internalPort);
  for (int index = 0, seen = 0; seen < kMaxMappingEntries && !stop(); ++seen) {
    char extPort[6] = {}, intClient[16] = {}, intPort[6] = {}, protocol[4] = {}, desc[80] = {},
         enabled[6] = {}, remote[64] = {}, duration[16] = {};
    const std::string at = std::to_string(index);
    if (UPNP_GetGenericPortMappingEntry(r.Control(), r.Service(), at.c_str(), extPort, intClient, intPort,
                                        protocol, desc, enabled, remote, duration) != UPNPCOMMAND_SUCCESS)
      break;
    const bool ours = request_.description == desc && std::strcmp(intClient, r.lanAddress) == 0 &&
                      internal == intPort && std::strcmp(protocol, "TCP") == 0;
    if (forwarded) forwarded->push_back(ParsePort(extPort));
    if (ours && !remove) return ParsePort(extPort);
    if (ours && UPNP_DeletePortMapping(r.Control(), r.Service(), extPort, "TCP", nullptr) == UPNPCOMMAND_SUCCESS)
      continue;  // the next entry moved into this index
    ++index;
  }
  return 0;
}

int PortMapping::RenewAfterSeconds(bool lastRenewalRefused) const {
  const bool mappingLeased = externalPort_ > 0 && !permanent_;
  return SecondsUntilRenewal(request_.leaseSeconds, mappingLeased || !pinholeId_.empty(), lastRenewalRefused);
}

bool PortMapping::Renew() {
  if (!router_) return false;
  Router& r = *router_;
  bool ok = true;
  const std::string lease = std::to_string(request_.leaseSeconds);
  if (externalPort_ > 0 && !permanent_) {
    const std::string ext = std::to_string(externalPort_);
    const std::string internal = std::to_string(request_.internalPort);
    ok = UPNP_AddPortMapping(r.Control(), r.Service(), ext.c_str(), internal.c_str(), r.lanAddress,
                             request_.description.c_str(), "TCP", nullptr, lease.c_str()) == UPNPCOMMAND_SUCCESS;
  }
  const Router& p = pinholeRouter_ ? *pinholeRouter_ : r;
  if (!pinholeId_.empty() &&
      UPNP_UpdatePinhole(p.urls.controlURL_6FC, p.data.IPv6FC.servicetype, pinholeId_.c_str(), lease.c_str()) !=
          UPNPCOMMAND_SUCCESS)
    ok = false;
  return ok;
}

void PortMapping::Close() {
  if (!router_) return;
  Router& r = *router_;
  if (externalPort_ > 0) {
    const std::string ext = std::to_string(externalPort_);
    UPNP_DeletePortMapping(r.Control(), r.Service(), ext.c_str(), "TCP", nullptr);
  }
  if (sweepOnClose_) OurMappings(r, true, [] { return false; });
  const Router& p = pinholeRouter_ ? *pinholeRouter_ : r;
  if (!pinholeId_.empty()) UPNP_DeletePinhole(p.urls.controlURL_6FC, p.data.IPv6FC.servicetype, pinholeId_.c_str());
  externalPort_ = 0;
  permanent_ = false;
  sweepOnClose_ = false;
  forwardedPorts_.clear();
  probe_ = -1;
  pinholeId_.clear();
  pinholeRouter_.reset();
  router_.reset();
}

}  // namespace crewmap::net
