#include "net/peer_rules.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace crewmap::net {
namespace {

// The 16-bit groups of a textual IPv6 address ("::" expanded; a scope and
// an IPv4 tail, which peers' addresses never carry here, are not taken).
// Empty when `text` is no such address.
std::vector<unsigned> Ipv6Groups(std::string_view text) {
  text = text.substr(0, text.find('%'));
  auto side = [](std::string_view part, std::vector<unsigned>& groups) {
    while (!part.empty()) {
      const auto colon = part.find(':');
      const std::string_view group = part.substr(0, colon);
      if (group.empty() || group.size() > 4) return false;
      unsigned value = 0;
      for (const char c : group) {
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value * 16 + static_cast<unsigned>(digit);
      }
      groups.push_back(value);
      if (colon == std::string_view::npos) break;
      part.remove_prefix(colon + 1);
      if (part.empty()) return false;  // a trailing single ":"
    }
    return true;
  };
  std::vector<unsigned> head, tail;
  const auto gap = text.find("::");
  const bool ok = gap == std::string_view::npos
                      ? side(text, head) && head.size() == 8
                      : side(text.substr(0, gap), head) && side(text.substr(gap + 2), tail) &&
                            head.size() + tail.size() < 8;
  if (!ok || text.find(':') == std::string_view::npos) return {};
  head.resize(8 - tail.size(), 0);
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

}  // namespace

std::string AddressGroup(const std::string& address) {
  const std::vector<unsigned> groups = Ipv6Groups(address);
  if (groups.empty()) return address;
  char key[48];
  std::snprintf(key, sizeof key, "%x:%x:%x:%x::/64", groups[0], groups[1], groups[2], groups[3]);
  return key;
}

void PeerWatch::Start(std::int64_t nowMs) {
  sinceMs_ = nowMs;
  anyLine_ = false;
}

void PeerWatch::Line(std::int64_t nowMs) {
  if (sinceMs_ < 0) return;
  sinceMs_ = nowMs;
  anyLine_ = true;
}

bool PeerWatch::Due(std::int64_t nowMs) const {
  if (sinceMs_ < 0) return false;
  return nowMs - sinceMs_ >= (anyLine_ ? times_.silenceMs : times_.firstLineMs);
}

void ConnectionThrottle::Forget(std::int64_t nowMs) {
  const std::int64_t keep = std::max(rule_.windowMs, rule_.blockMs);
  for (auto it = seen_.begin(); it != seen_.end();)
    it = nowMs - it->second.lastMs > keep && it->second.blockedUntilMs <= nowMs ? seen_.erase(it) : std::next(it);
  while (seen_.size() >= rule_.addresses) {
    auto oldest = std::min_element(seen_.begin(), seen_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastMs < b.second.lastMs; });
    seen_.erase(oldest);
  }
}

bool ConnectionThrottle::Admit(const std::string& address, std::int64_t nowMs) {
  const std::string key = AddressGroup(address);
  auto it = seen_.find(key);
  if (it == seen_.end()) {
    Forget(nowMs);
    it = seen_.emplace(key, Record{}).first;
  }
  Record& record = it->second;
  record.lastMs = nowMs;
  if (record.blockedUntilMs > nowMs) return false;
  while (!record.times.empty() && nowMs - record.times.front() >= rule_.windowMs) record.times.pop_front();
  if (record.times.size() >= rule_.connections) {
    record.blockedUntilMs = nowMs + rule_.blockMs;
    record.times.clear();
    return false;
  }
  record.times.push_back(nowMs);
  return true;
}

}  // namespace crewmap::net
