#pragma once
// What the host learnt from its router and its own interfaces: plain results
// of the port mapping, with no words in them (the diagnosis chooses those).
#include <string>

namespace crewmap::net {

enum class MappingOutcome {
  NotTried,  // turned off in the settings, or the host is not listening
  NoRouter,  // nothing answered the discovery, or it was no internet gateway
  Mapped,    // the router forwards `externalPort` to our port
  Refused,   // the router answered and refused every port asked for
};

enum class PinholeOutcome {
  NotTried,     // no global IPv6 address, or no router asked
  NoService,    // the router offers no IPv6 firewall control
  FirewallOff,  // the router reports no IPv6 firewall in the way
  NotAllowed,   // the router reports that it lets in no pinholes
  Opened,
  Refused,
};

struct RouterReport {
  MappingOutcome mapping = MappingOutcome::NotTried;
  std::string externalAddress;  // the router's WAN IPv4 address; empty when unknown
  int externalPort = 0;         // Mapped: the port members use
  bool permanent = false;       // Mapped: the router took only a lease without end
  int errorCode = 0;            // Refused: the router's last UPnP error code
  // External ports asked for one at a time, our own included: more than one
  // when an IGD v1 router refused ours and a permitted port was searched for.
  int portsTried = 0;
  std::string ipv6Address;      // the host's global IPv6 address; empty when none
  PinholeOutcome pinhole = PinholeOutcome::NotTried;
  int pinholeError = 0;         // Refused: the router's UPnP error code
};

// What one re-check of the router found, in plain values.
struct RouterCheck {
  // The router that answered before gave no answer now (restarting, or
  // gone): nothing below is new, and it is checked again soon.
  bool silent = false;
  bool remade = false;    // a mapping or pinhole of ours had gone and was made again
  bool lost = false;      // one had gone and the router refused to make it again
  // A request of this check went unanswered: what it asked about stands as
  // it was said before, and the router is checked again soon.
  bool unanswered = false;
  RouterReport report;    // everything as it stands after the check
};

}  // namespace crewmap::net
