#include "net/host_port.h"

#include "common/wide_forms.h"
#include "net/address_extract.h"
#include "net/remote_host.h"

namespace crewmap::net {
namespace {

// 1..65535 in plain decimal digits (no sign, no blanks, at most five digits).
std::optional<int> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

}  // namespace

std::optional<HostPort> ParseHostPort(std::string_view typed, int defaultPort) {
  // Typed with the input method on, "１２７．０．０．１：２１２１２" means
  // what its ASCII form says.
  const std::string ascii = FoldWideForms(typed);
  std::string_view text = TrimBlanks(ascii);
  std::string_view host = text;
  std::optional<int> port = defaultPort;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(0, close + 1);  // brackets kept: only an IPv6 literal passes them
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = ParsePort(rest.substr(1));
    }
  } else if (const std::size_t colon = text.find(':');
             colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    host = text.substr(0, colon);
    port = ParsePort(text.substr(colon + 1));
  }
  if (!port) return std::nullopt;
  // Blanks between the host and its port or brackets are a typing slip the
  // host check refuses, as it refuses blanks inside a name.
  if (!host.empty() && (host.back() == ' ' || host.back() == '\t')) return std::nullopt;
  auto normalized = NormalizeRemoteHost(host);
  if (!normalized) return std::nullopt;
  return HostPort{std::move(*normalized), *port};
}

std::string FormatHostPort(std::string_view host, int port, int defaultPort) {
  const bool v6 = host.find(':') != std::string_view::npos;
  if (!v6 && port == defaultPort) return std::string(host);
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
  // "[" + std::string(...).
  std::string text;
  if (v6) text += '[';
  text += host;
  if (v6) text += ']';
  text += ':';
  text += std::to_string(port);
  return text;
}

}  // namespace crewmap::net
