#pragma once
// When a member tries its host again after losing it: soon at first, then at
// a steady pace, and not for ever. Plain arithmetic over times passed in.
#include <cstdint>
#include <optional>

namespace crewmap::main {

struct RetryTimes {
  std::int64_t firstMs = 1000;      // before the first retry; it doubles with each one...
  std::int64_t longestMs = 30000;   // ...up to this: 1, 2, 4, 8, 16 s, then every 30 s
  std::int64_t totalMs = 1800000;   // no retry starts later than 30 minutes after the loss
};

// The wait before retry number `attempt` (1: the first after the loss), when
// `sinceLossMs` have passed since the loss; nothing once that retry would
// start later than totalMs after the loss.
std::optional<std::int64_t> RetryDelayMs(const RetryTimes& times, int attempt, std::int64_t sinceLossMs);

}  // namespace crewmap::main
