#include "net/address_extract.h"

#include <cctype>

namespace crewmap::net {
namespace {

bool IsIpv4(std::string_view text) {
  int parts = 0;
  while (true) {
    std::size_t digits = 0;
    int value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      value = value * 10 + (text[digits] - '0');
      if (++digits > 3) return false;
    }
    if (digits == 0 || value > 255) return false;
    ++parts;
    text.remove_prefix(digits);
    if (text.empty()) return parts == 4;
    if (text.front() != '.' || parts == 4) return false;
    text.remove_prefix(1);
  }
}

bool IsHexGroup(std::string_view group) {
  if (group.empty() || group.size() > 4) return false;
  for (const char c : group)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool IsIpv6(std::string_view text) {
  if (text.find(':') == std::string_view::npos) return false;
  const auto gap = text.find("::");
  if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos)
    return false;
  // Count the groups on both sides of the gap; an IPv4 tail counts as two.
  int groups = 0;
  auto countSide = [&groups](std::string_view side, bool mayEndInIpv4) {
    if (side.empty()) return true;
    while (true) {
      const auto colon = side.find(':');
      const std::string_view group = side.substr(0, colon);
      if (colon == std::string_view::npos) {
        if (mayEndInIpv4 && group.find('.') != std::string_view::npos) {
          if (!IsIpv4(group)) return false;
          groups += 2;
          return true;
        }
        if (!IsHexGroup(group)) return false;
        ++groups;
        return true;
      }
      if (!IsHexGroup(group)) return false;
      ++groups;
      side.remove_prefix(colon + 1);
    }
  };
  if (gap == std::string_view::npos) return countSide(text, true) && groups == 8;
  return countSide(text.substr(0, gap), false) && countSide(text.substr(gap + 2), true) &&
         groups <= 7;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsBareIpAddress(std::string_view text) { return IsIpv4(text) || IsIpv6(text); }

std::string ExtractAddress(std::string_view reply) {
  const auto first = reply.find('(');
  const auto second = first == std::string_view::npos ? first : reply.find('(', first + 1);
  if (second == std::string_view::npos) {
    const std::string_view bare = TrimBlanks(reply);
    return IsBareIpAddress(bare) ? std::string(bare) : std::string();
  }
  std::string_view piece = reply.substr(second + 1);
  piece = piece.substr(0, piece.find('('));
  piece = piece.substr(0, piece.find(')'));
  return std::string(piece);
}

}  // namespace crewmap::net
