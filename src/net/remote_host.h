#pragma once
// Checking the typed host address before a connection attempt.
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::net {

// The address to connect to, or nothing when the text cannot be one: blanks
// around it are dropped and brackets around an IPv6 address removed; an IPv4
// or IPv6 literal is taken as it is; anything else must look like a host name
// (labels of letters, digits, '-' or '_' or non-ASCII, joined by single dots,
// not all digits). Rejecting here means a malformed entry fails at once and
// never becomes a name query.
std::optional<std::string> NormalizeRemoteHost(std::string_view text);

}  // namespace crewmap::net
