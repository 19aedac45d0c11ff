#pragma once
// The host's public address, asked of an address-echo web page.
#include <QString>
#include <functional>
#include <string>

class QObject;
class QUrl;

namespace crewmap::net {

// Plain HTTP; its reply is the caller's address on its own, which the
// extraction takes as it stands.
inline constexpr char kDefaultEchoUrl[] = "http://api.ipify.org/";
inline constexpr int kLookupTimeoutMs = 60000;

// The echo page's address: key "ECHOURL" of section "NET" in the settings
// file when present and not empty, else kDefaultEchoUrl.
QString EchoUrl(const std::string& iniPath);

// Starts fetching `url` (http or https only) and returns at once; `done`
// gets the extracted address (the empty text on any failure or after
// `timeoutMs`) on the calling thread, unless `context` is gone by then.
void StartAddressFetch(const QUrl& url, int timeoutMs, QObject* context,
                       std::function<void(const QString&)> done);

// Fetches `url` (http or https only) and extracts the address from the
// reply. Waits in a local event loop, so the caller continues only after the
// reply, a failure or the time-out; every failure gives the empty text.
QString FetchPublicAddress(const QUrl& url, int timeoutMs = kLookupTimeoutMs);

// EchoUrl(iniPath), fetched with FetchPublicAddress.
QString LookupPublicAddress(const std::string& iniPath, int timeoutMs = kLookupTimeoutMs);

}  // namespace crewmap::net
