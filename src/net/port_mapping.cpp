#include "net/port_mapping.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "net/router_rules.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#endif

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

namespace crewmap::net {
namespace {

// UPnP error codes the decisions below look at.
constexpr int kOnlyPermanentLeases = 725;
constexpr int kSamePortRequired = 724;
constexpr int kNotAuthorized = 606;
constexpr int kInvalidAction = 401;
constexpr int kActionNotImplemented = 602;
// The longest mapping table that is searched for leftovers of ours.
constexpr int kMaxMappingEntries = 512;
// The first, short discovery (see Router::Discover).
constexpr int kQuickDiscoveryMs = 1000;
// Requests under way at once while searching for a permitted port.
constexpr int kSearchRequestsAtOnce = 4;

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

struct PortMapping::Router {
  UPNPUrls urls{};
  IGDdatas data{};
  char lanAddress[64] = {};
  bool valid = false;
#ifdef _WIN32
  bool winsock = false;
#endif

  Router() {
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
  ~Router() {
    if (valid) FreeUPNPUrls(&urls);
#ifdef _WIN32
    if (winsock) WSACleanup();
#endif
  }
  // SSDP discovery over IPv4 or IPv6; true when an internet gateway answered.
  // Asked to answer within a second, a gateway nearly always has by then:
  // only when none did does the search wait its whole time, once more.
  bool Discover(int delayMs, bool ipv6) {
    return DiscoverWithin(std::min(delayMs, kQuickDiscoveryMs), ipv6) ||
           (delayMs > kQuickDiscoveryMs && DiscoverWithin(delayMs, ipv6));
  }
  bool DiscoverWithin(int delayMs, bool ipv6) {
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
  const char* Control() const { return urls.controlURL; }
  const char* Service() const { return data.first.servicetype; }
  bool Version2() const { return std::string_view(data.first.servicetype).find(":2") != std::string_view::npos; }
  bool HasIPv6Firewall() const {
    return urls.controlURL_6FC && urls.controlURL_6FC[0] != '\0' && data.IPv6FC.servicetype[0] != '\0';
  }
};

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
    report.mapping = MappingOutcome::Mapped;
    report.externalPort = externalPort_;
    report.permanent = permanent_;
  } else {
    report.mapping = MappingOutcome::Refused;
  }

  // IPv6: no address translation, only the router's firewall to open.
  if (!request.ipv6Address.empty() && !stop()) {
    OpenPinhole(r, report);
    // A router that lets each address open pinholes only for itself wants
    // the request over IPv6, from that address: find it there and ask again.
    if (report.pinhole == PinholeOutcome::Refused && report.pinholeError == kNotAuthorized && !stop()) {
      if (std::unique_ptr<Router> v6 = overIPv6.get()) {
        RouterReport again = report;
        OpenPinhole(*v6, again);
        if (again.pinhole == PinholeOutcome::Opened) pinholeRouter_ = std::move(v6);
        if (again.pinhole != PinholeOutcome::NoService) report = again;
      }
    }
  }
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
  if (search && !stop()) Search(r, report, stop);
}

void PortMapping::Search(Router& r, RouterReport& report, const std::function<bool()>& stop) {
  // A few requests at a time: each costs the router a connection of its own,
  // and one after another they would keep the host waiting for seconds.
  std::vector<int> hints = forwardedPorts_;
  std::array<unsigned char, 16> ipv6{};
  if (inet_pton(AF_INET6, request_.ipv6Address.c_str(), ipv6.data()) == 1) hints.push_back(MapEPortHint(ipv6));
  const std::vector<int> order = PortSearchOrder(request_.internalPort, hints);
  std::mutex mutex;
  std::size_t next = 0;
  int asked = 0;
  int granted = 0;
  bool grantedPermanent = false;
  bool routerGone = false;
  std::vector<int> surplus;  // granted at the same time as `granted`
  int lastRefusal = report.errorCode;
  auto ask = [&] {
    for (;;) {
      int port = 0;
      {
        std::lock_guard lock(mutex);
        if (granted > 0 || routerGone || next == order.size()) return;
        port = order[next++];
        ++asked;
      }
      if (stop()) return;
      bool permanent = false;
      const int code = AddMapping(r, port, permanent);
      std::lock_guard lock(mutex);
      if (code == UPNPCOMMAND_SUCCESS) {
        if (granted == 0) {
          granted = port;
          grantedPermanent = permanent;
        } else {
          surplus.push_back(port);
        }
      } else if (code < 0) {
        routerGone = true;  // no answer: asking on would only wait for each time-out
      } else {
        lastRefusal = code;
      }
    }
  };
  std::vector<std::thread> askers;
  for (int i = 1; i < kSearchRequestsAtOnce; ++i) askers.emplace_back(ask);
  ask();
  for (std::thread& asker : askers) asker.join();
  for (const int port : surplus) {
    const std::string ext = std::to_string(port);
    UPNP_DeletePortMapping(r.Control(), r.Service(), ext.c_str(), "TCP", nullptr);
  }
  report.portsTried += asked;
  report.errorCode = lastRefusal;
  externalPort_ = granted;
  permanent_ = grantedPermanent;
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
  pinholeId_.clear();
  pinholeRouter_.reset();
  router_.reset();
}

}  // namespace crewmap::net
