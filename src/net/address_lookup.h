#pragma once
// The host's public address, asked of an address-echo web page.
#include <QString>
#include <functional>
#include <string>

#include "net/address_extract.h"

class QObject;
class QUrl;

namespace crewmap::net {

// Plain HTTP; its reply is the caller's address on its own, which the
// extraction takes as it stands.
inline constexpr char kDefaultEchoUrl[] = "http://api.ipify.org/";
inline constexpr int kLookupTimeoutMs = 60000;
// A reply that brings no byte for this long is given up: an echo page
// answers within a second or two, so waiting out the whole time-out on a
// stalled one would only keep the address box empty for longer.
inline constexpr int kLookupStallMs = 15000;

struct LookupLimits {
  int timeoutMs = kLookupTimeoutMs;  // the whole request
  int stallMs = kLookupStallMs;      // without any progress
  std::size_t maxBytes = kMaxEchoReplyBytes;  // the longest reply read
};

struct EchoAnswer {
  QString address;  // empty unless a reply came whole and held one
  EchoEnd end = EchoEnd::Failed;
};

// The echo page's address: `configured` (the settings file's) when not
// empty, else kDefaultEchoUrl.
QString EchoUrl(const std::string& configured);

// Starts fetching `url` (http or https only) and returns at once; `done`
// gets the answer on the calling thread, unless `context` is gone by then.
// The reply is read as it comes and never held beyond limits.maxBytes, so
// no page can make the host's memory grow.
void StartAddressFetch(const QUrl& url, const LookupLimits& limits, QObject* context,
                       std::function<void(const EchoAnswer&)> done);

// StartAddressFetch, waited for in a local event loop.
EchoAnswer FetchEchoAnswer(const QUrl& url, const LookupLimits& limits = {});

// The address alone (the empty text on every failure).
QString FetchPublicAddress(const QUrl& url, int timeoutMs = kLookupTimeoutMs);

}  // namespace crewmap::net
