// The IGD v1 port search: an IGD v1 router that refused our port because
// of the port itself is asked for the ports of PortSearchOrder, a few at a
// time, until one is granted.
#include <array>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <miniupnpc/upnpcommands.h>

#include "net/port_mapping.h"
#include "net/router_rules.h"
#include "net/router_session.h"

namespace crewmap::net {
namespace {

// Requests under way at once while searching for a permitted port.
constexpr int kSearchRequestsAtOnce = 4;

}  // namespace

void PortMapping::Search(Router& r, RouterReport& report, const std::function<bool()>& stop) {
  // A few requests at a time: each costs the router a connection of its own,
  // and one after another they would keep the host waiting for seconds.
  const std::vector<int> order = SearchOrder();
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
  // Every port refused: later checks ask one of them each (Probe) rather
  // than the whole search again, until the router changes its answer.
  probe_ = granted == 0 && !routerGone && next == order.size() && !stop() ? 0 : -1;
}

void PortMapping::Probe(Router& r) {
  // A router whose rules changed grants one of the search's ports: a
  // request a check finds it without a search's load on the router.
  const std::vector<int> order = SearchOrder();
  const int port = order[static_cast<std::size_t>(probe_) % order.size()];
  probe_ = (probe_ + 1) % static_cast<int>(order.size());
  bool permanent = false;
  const int code = AddMapping(r, port, permanent);
  if (code == UPNPCOMMAND_SUCCESS) {
    externalPort_ = port;
    permanent_ = permanent;
    probe_ = -1;
  }
}

std::vector<int> PortMapping::SearchOrder() const {
  std::vector<int> hints = forwardedPorts_;
  std::array<unsigned char, 16> ipv6{};
  if (inet_pton(AF_INET6, request_.ipv6Address.c_str(), ipv6.data()) == 1) hints.push_back(MapEPortHint(ipv6));
  return PortSearchOrder(request_.internalPort, hints);
}

}  // namespace crewmap::net
