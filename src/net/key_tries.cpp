#include "net/key_tries.h"

#include <algorithm>

#include "net/peer_rules.h"

namespace crewmap::net {

KeyTries::Source& KeyTries::Find(const std::string& address, std::int64_t nowMs) {
  const std::string key = AddressGroup(address);
  auto it = sources_.find(key);
  if (it == sources_.end()) {
    // Forgetting a source gives it a full set of tries again; the oldest
    // one seen is the one a scan has least use of.
    if (sources_.size() >= rule_.sources) {
      sources_.erase(std::min_element(sources_.begin(), sources_.end(), [](const auto& a, const auto& b) {
        return a.second.seenMs < b.second.seenMs;
      }));
    }
    Source fresh;
    fresh.tries = rule_.burst;
    fresh.refilledMs = nowMs;
    it = sources_.emplace(key, fresh).first;
  }
  Source& source = it->second;
  source.seenMs = nowMs;
  if (nowMs > source.refilledMs && rule_.refillMs > 0) {
    source.tries = std::min<double>(rule_.burst, source.tries + static_cast<double>(nowMs - source.refilledMs) /
                                                                   static_cast<double>(rule_.refillMs));
    source.refilledMs = nowMs;
  }
  return source;
}

bool KeyTries::MayTry(const std::string& address, std::int64_t nowMs) {
  Source& source = Find(address, nowMs);
  if (nowMs < source.lockedUntilMs || source.tries < 1.0) return false;
  source.tries -= 1.0;
  return true;
}

void KeyTries::Proved(const std::string& address, std::int64_t nowMs) {
  Source& source = Find(address, nowMs);
  source.tries = std::min<double>(rule_.burst, source.tries + 1.0);
  source.failures = 0;
  source.lockedUntilMs = 0;
}

void KeyTries::Failed(const std::string& address, std::int64_t nowMs) {
  Source& source = Find(address, nowMs);
  ++source.failures;
  const int over = source.failures - rule_.freeFailures;
  if (over < 0) return;
  std::int64_t lock = rule_.lockMs;
  for (int i = 0; i < over && lock < rule_.longestLockMs; ++i) lock *= 2;
  source.lockedUntilMs = nowMs + std::min(lock, rule_.longestLockMs);
}

std::optional<int> KeyTries::LogRefusal(const std::string& address, std::int64_t nowMs) {
  Source& source = Find(address, nowMs);
  if (windowStartMs_ < 0 || nowMs - windowStartMs_ >= log_.windowMs) {
    windowStartMs_ = nowMs;
    rowsInWindow_ = 0;
  }
  const bool sourceQuiet = source.loggedMs < 0 || nowMs - source.loggedMs >= log_.perSourceMs;
  if (!sourceQuiet || rowsInWindow_ >= log_.rows) {
    ++unlogged_;
    return std::nullopt;
  }
  source.loggedMs = nowMs;
  ++rowsInWindow_;
  const int left = unlogged_;
  unlogged_ = 0;
  return left;
}

}  // namespace crewmap::net
