#pragma once
// The home router's port mapping over UPnP IGD (miniupnpc): discovery, the
// mapping of our listening port, an IPv6 pinhole, their renewal and their
// removal. Every call blocks on the network, so it runs off the window's
// thread (RouterWorker); results are plain values without words.
#include <memory>
#include <string>

#include "net/router_report.h"

namespace crewmap::net {

struct MappingRequest {
  int internalPort = 21212;
  int leaseSeconds = 3600;
  int discoveryMs = 2000;         // how long SSDP discovery waits for answers
  std::string ipv6Address;        // open a pinhole to this address when not empty
  std::string description = "Crewmap";  // marks our mappings on the router
};

class PortMapping {
 public:
  PortMapping();
  ~PortMapping();
  PortMapping(const PortMapping&) = delete;
  PortMapping& operator=(const PortMapping&) = delete;

  // Finds the router, removes mappings of ours that a run which ended
  // without removing them left behind, maps the port and opens the pinhole.
  RouterReport Open(const MappingRequest& request);
  // Seconds until the leases need renewing; 0 when nothing needs it.
  int RenewAfterSeconds() const;
  // Asks again for what Open obtained. False when the router refused.
  bool Renew();
  // Removes the mapping and the pinhole (nothing to do when none was made).
  void Close();

 private:
  struct Router;
  void OpenPinhole(Router& router, RouterReport& report);

  std::unique_ptr<Router> router_;
  std::unique_ptr<Router> pinholeRouter_;  // the router as found over IPv6, when the pinhole went there
  MappingRequest request_;
  int externalPort_ = 0;  // 0: no mapping of ours
  bool permanent_ = false;
  std::string pinholeId_;  // empty: no pinhole of ours
};

}  // namespace crewmap::net
