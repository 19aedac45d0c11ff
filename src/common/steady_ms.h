#pragma once
// Milliseconds on the steady clock: for time stamps that are only compared
// with one another within one run (when a position arrived, when a peer last
// spoke), never shown as a time of day.
#include <chrono>
#include <cstdint>

namespace crewmap {

inline std::int64_t SteadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace crewmap
