#pragma once
// The host address a member types: a host and, optionally, the port.
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::net {

struct HostPort {
  std::string host;  // as NormalizeRemoteHost gives it (IPv6 without brackets)
  int port = 0;
};

// "address", "address:port", "[IPv6]" or "[IPv6]:port", with blanks around
// the whole allowed; a bare IPv6 address (more than one ':') takes no port,
// since its last group could not be told from one. The port is 1..65535 in
// decimal digits; without one, `defaultPort`. Nothing when the text is not
// one of these forms or the host is not an address or a host name.
// Full-width forms (as a Japanese input method types them) count as their
// ASCII characters: see FoldWideForms (common/wide_forms.h).
std::optional<HostPort> ParseHostPort(std::string_view text, int defaultPort);

// What members type to reach `host` on `port`: "[IPv6]:port" for an IPv6
// address, "host:port" otherwise, and the host alone when `port` is
// `defaultPort` and the host is no IPv6 address.
std::string FormatHostPort(std::string_view host, int port, int defaultPort);

}  // namespace crewmap::net
