#pragma once
// The home router's port mapping over UPnP IGD (miniupnpc): discovery, the
// mapping of our listening port, an IPv6 pinhole, their renewal and their
// removal. Every call blocks on the network, so it runs off the window's
// thread (RouterWorker); results are plain values without words.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/router_report.h"

namespace crewmap::net {

struct MappingRequest {
  int internalPort = 21212;
  int leaseSeconds = 3600;
  int discoveryMs = 2000;         // how long SSDP discovery waits for answers
  std::string ipv6Address;        // open a pinhole to this address when not empty
  std::string description = "Crewmap";  // marks our mappings on the router
  // A port members were already given: asked for first whenever the
  // mapping is asked for again, so the address they hold stays right.
  int formerExternalPort = 0;
  // How often the router is checked while it answers (see Check).
  int checkSeconds = kCheckSeconds;
  // Every few minutes: two cheap requests a time, well below one a minute,
  // and a router restarted or a line re-addressed is noticed within this.
  static constexpr int kCheckSeconds = 180;
};

class PortMapping {
 public:
  PortMapping();
  ~PortMapping();
  PortMapping(const PortMapping&) = delete;
  PortMapping& operator=(const PortMapping&) = delete;

  // Finds the router, removes mappings of ours that a run which ended
  // without removing them left behind, maps the port and opens the pinhole.
  // `stopping` is asked between requests: once it holds, Open asks nothing
  // more and returns; Close then removes whatever was added.
  RouterReport Open(const MappingRequest& request, const std::function<bool()>& stopping = {});
  // Looks whether what Open obtained still stands: the router's outside
  // address, our mapping and our pinhole (opened again also for
  // `ipv6Address` when the host's global IPv6 address has changed to it).
  // Whatever is missing, gone (a router restarted and forgot it) or refused
  // before, is asked for again at every check; a request left unanswered
  // changes nothing. A router that no longer answers where it was is looked
  // for again and checked where it answers now.
  RouterCheck Check(const std::string& ipv6Address, const std::function<bool()>& stopping = {});
  // Seconds until the leases need renewing (SecondsUntilRenewal); 0 when
  // nothing needs it.
  int RenewAfterSeconds(bool lastRenewalRefused = false) const;
  // Asks again for what Open obtained. False when the router refused.
  bool Renew();
  // Removes the mapping and the pinhole (nothing to do when none was made).
  void Close();

 private:
  struct Router;
  RouterReport Ask(const MappingRequest& request, const std::function<bool()>& stopping);
  // Whether the router still forwards externalPort_ to us; Unknown when it
  // gave no answer.
  enum class Presence { There, Gone, Unknown };
  Presence MappingPresence(Router& router) const;
  // Check's part for the mapping and for the pinhole.
  void CheckMapping(Router& router, RouterReport& now, RouterCheck& check, const std::function<bool()>& stopping);
  void CheckPinhole(const std::string& ipv6Address, RouterReport& now, RouterCheck& check,
                    const std::function<bool()>& stopping);
  void OpenPinhole(Router& router, RouterReport& report);
  // OpenPinhole; where `router` lets each address open pinholes only for
  // itself, again at the router `overIPv6` finds over IPv6 (none: null).
  void OpenPinholeWhereAllowed(Router& router, RouterReport& report,
                               const std::function<std::unique_ptr<Router>()>& overIPv6);
  // Maps the port: our own first, then another one the router allows.
  void Map(Router& router, RouterReport& report, const std::function<bool()>& stopping);
  // Asks an IGD v1 router for the ports of PortSearchOrder until one is
  // granted, a few requests at a time.
  void Search(Router& router, RouterReport& report, const std::function<bool()>& stopping);
  // After a search that found nothing: one port of it, the next in turn.
  void Probe(Router& router);
  std::vector<int> SearchOrder() const;
  // One mapping of `externalPort` to ours (again without end where the
  // router takes only that, then `permanent`); the router's code.
  int AddMapping(Router& router, int externalPort, bool& permanent) const;
  // Walks the router's table for mappings of ours (our description, address
  // and port): removes them all when `remove`, else gives the external port
  // of the first (0: none). `forwarded` gets every external port seen.
  int OurMappings(Router& router, bool remove, const std::function<bool()>& stopping,
                  std::vector<int>* forwarded = nullptr);

  std::unique_ptr<Router> router_;
  std::unique_ptr<Router> pinholeRouter_;  // the router as found over IPv6, when the pinhole went there
  MappingRequest request_;
  int externalPort_ = 0;  // 0: no mapping of ours
  bool permanent_ = false;
  bool sweepOnClose_ = false;  // a mapping of ours whose port the router did not say may be there
  std::vector<int> forwardedPorts_;  // external ports in the router's table at Open (the search's hints)
  // After a search that found nothing, the search order's port that the next
  // check asks for; -1: no such search since the router last changed its answer.
  int probe_ = -1;
  std::string pinholeId_;  // empty: no pinhole of ours
  RouterReport last_;      // what Open, then each Check, found
};

}  // namespace crewmap::net
