#pragma once
// When and where the host asks its router again: plain rules over numbers,
// so they are tested as tables without a router.
#include <array>
#include <vector>

namespace crewmap::net {

// External ports to ask an IGD v1 router for, in order, once it refused
// `port` itself. A MAP-E line hands each customer runs of at least 16 ports
// at the same place in every 4096-port block, so one port from each run of
// 16 within one block meets every customer's set: here the block of `port`
// (block 1 when `port` lies in 0..4095, which MAP-E never hands out), each
// port at the offset of `port` within its run, beginning with the run after
// it and wrapping round inside the block. 255 ports (256 in block 1), so
// with `port` itself at most 256 requests. The runs that hold one of
// `hints` in any block (external ports the router already forwards, for
// other devices or for an earlier run of ours, so ports of the line's set)
// come first, in the order of the hints.
std::vector<int> PortSearchOrder(int port, const std::vector<int>& hints = {});

// A port of the set a MAP-E line would hand this host, guessed from its
// global IPv6 address, as a hint for the search above. Japan's MAP-E lines
// delegate a /56 whose last 8 bits are the customer's PSID, the run of 16
// in every block: the address's 7th byte. A wrong guess costs one request.
int MapEPortHint(const std::array<unsigned char, 16>& ipv6);

// Seconds until the router is asked to renew: half the lease while anything
// of ours is leased (a mapping, a pinhole), so one refused or lost request
// still leaves time before it lapses; after a refused renewal at most a
// minute. 0: nothing needs renewing.
int SecondsUntilRenewal(int leaseSeconds, bool anythingLeased, bool lastRenewalRefused);

// Whether an IGD v1 router's refusal of one external port may not hold for
// another, so that a search for a permitted port can succeed: the port is
// taken (718, 729), or outside what the router permits this client (606:
// miniupnpd's answer for a port its rules do not allow, as on MAP-E port
// sets). Refusals that every port would meet alike (501 action failed,
// 402 invalid arguments, 728 no ports left, no answer) start no search.
bool RefusalDependsOnPort(int code);

// Seconds until the router is checked again (its mapping, its outside
// address): `intervalSeconds` while it answers; after a check it did not
// answer (restarting, or replaced), at most kQuickCheckSeconds, so that a
// router back from a restart has our mapping again soon.
inline constexpr int kQuickCheckSeconds = 30;
int SecondsUntilCheck(int intervalSeconds, bool lastCheckAnswered);

}  // namespace crewmap::net
