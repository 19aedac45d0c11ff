#pragma once
// What the host tells its user about being reached: the text of the address
// box and the activity-log rows, decided from the echo page's answer and the
// router's. Plain text rules; the rows say what was found and what to do,
// never that members can reach the host (only a member's connection shows
// that).
#include <optional>
#include <string>
#include <vector>

#include "net/address_extract.h"
#include "net/router_report.h"

namespace crewmap::net {

enum class Verdict {
  Unknown,       // the router was not asked (turned off)
  Open,          // the router forwards our own port
  OtherPort,     // the router refused our port and forwards another one
  NoRouter,      // no router answered: forward the port by hand
  Refused,       // the router refused every port asked for
  DoubleRouter,  // the router's outside address is a private one: a router in front
  SharedIPv4,    // carrier-grade or otherwise shared IPv4: IPv4 hosting impossible
  NoPublicIPv4,  // the router refused and named no public outside address of its own
};

// The host's IPv6 address as the diagnosis offers it.
enum class Ipv6Offer {
  None,         // no global IPv6 address, or the router turned IPv6 away
  Opened,       // the router opened a pinhole, or says no firewall is in the way
  Unconfirmed,  // the router said nothing about IPv6: offered, marked as such
};

struct Diagnosis {
  Verdict verdict = Verdict::Unknown;
  Ipv6Offer ipv6 = Ipv6Offer::None;
  std::string addressBox;          // what members must type (UTF-8)
  std::vector<std::string> rows;   // activity-log rows without their time (UTF-8)
  std::string headline;            // the verdict's own first row (empty: router not asked)
};

// `echoAddress`: the echo page's answer as the address box shows it today
// (empty when the lookup failed); `port`: the port the host listens on;
// `echoEnd`: how the lookup ended.
Diagnosis Diagnose(const std::string& echoAddress, const RouterReport& router, int port,
                   EchoEnd echoEnd = EchoEnd::Answered);

// The rows a later check adds to the log, going from the diagnosis shown
// (`before`) to the new one (`after`): one row for what changed, none while
// nothing did. `remade`/`lost`: a mapping or pinhole of ours had gone and was
// made again, or could not be (the router's code `errorCode`).
std::vector<std::string> ChangeRows(const Diagnosis& before, const Diagnosis& after, bool remade, bool lost,
                                    int errorCode);

// What the label beside the address box says before the diagnosis is in.
inline constexpr char kGlancePending[] = "確認中…";

// How the few words read at a glance.
enum class GlanceTone {
  Unsure,  // not known yet, not asked, or said by nobody
  Opened,  // the router opened a way in for members
  Act,     // the user has something to do, or cannot host on this line
};

struct Glance {
  std::string text;  // UTF-8
  GlanceTone tone = GlanceTone::Unsure;
};

// The diagnosis in a few words for the label beside the address box: what
// was found, never that members can reach the host.
Glance GlanceOf(const Diagnosis& diagnosis);

// The dotted-quad IPv4 address `text` as a 32-bit number, or nothing.
std::optional<unsigned long> ParseIPv4(const std::string& text);

}  // namespace crewmap::net
