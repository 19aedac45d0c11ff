#include "main/retry_schedule.h"

#include <algorithm>

namespace crewmap::main {

std::optional<std::int64_t> RetryDelayMs(const RetryTimes& times, int attempt, std::int64_t sinceLossMs) {
  std::int64_t delay = std::min(times.firstMs, times.longestMs);
  for (int i = 1; i < attempt && delay < times.longestMs; ++i) delay = std::min(delay * 2, times.longestMs);
  if (sinceLossMs + delay > times.totalMs) return std::nullopt;
  return delay;
}

}  // namespace crewmap::main
