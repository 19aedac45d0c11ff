#include "net/peer_rules.h"

#include <algorithm>

namespace crewmap::net {

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
  auto it = seen_.find(address);
  if (it == seen_.end()) {
    Forget(nowMs);
    it = seen_.emplace(address, Record{}).first;
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
