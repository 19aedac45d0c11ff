#include "net/remote_host.h"

#include "net/address_extract.h"

namespace crewmap::net {

std::optional<std::string> NormalizeRemoteHost(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
    if (!IsBareIpAddress(text) || text.find(':') == std::string_view::npos) return std::nullopt;
  }
  if (text.empty() || text.size() > 253) return std::nullopt;
  if (IsBareIpAddress(text)) return std::string(text);

  bool hasNonDigit = false;
  std::size_t labelLength = 0;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '.') {
      if (labelLength == 0) return std::nullopt;
      labelLength = 0;
      continue;
    }
    const bool digit = c >= '0' && c <= '9';
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || b >= 0x80;
    if (!digit && !letter && c != '-' && c != '_') return std::nullopt;
    if (!digit) hasNonDigit = true;
    if (++labelLength > 63) return std::nullopt;
  }
  // A trailing dot is allowed (fully qualified); digits and dots alone are a
  // mistyped IPv4 address, not a name.
  if (!hasNonDigit) return std::nullopt;
  return std::string(text);
}

}  // namespace crewmap::net
