#pragma once
// Helpers shared by the tests that read gamesim on a real X server.
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "reader/capture.h"

namespace crewmap::reader::test {

class Controls final : public CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string& utf8Text) override { failures.push_back(utf8Text); }
  bool lock = false;
  std::vector<std::string> failures;
};

// Captures until the expected text comes up (the sim repaints asynchronously)
// or ten seconds pass (a slow start under load); returns the last reading.
inline std::string CaptureUntil(CoordinateCapture& capture, const std::string& expected) {
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  std::string last;
  do {
    const CaptureOutcome out = capture.CapturePosition();
    last = out.ok ? out.position : "<failure>";
    if (last == expected) return last;
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return last;
}

// Positions covering every digit, one- to five-digit values, and the edges of
// the world; then seeded random ones.
inline std::vector<std::string> Positions(std::size_t count, unsigned seed) {
  std::vector<std::string> list = {"0,0",       "3,8",        "88,33",      "14602,5579", "16383,8191",
                                   "12345,6789", "38,83",     "9,1",        "333,888",    "70465,2"};
  std::mt19937 rng(seed);
  while (list.size() < count) {
    auto value = [&rng] {
      const int digits = 1 + static_cast<int>(rng() % 5);
      std::string s(1, static_cast<char>('0' + (digits == 1 ? rng() % 10 : 1 + rng() % 9)));
      for (int i = 1; i < digits; ++i) s += static_cast<char>('0' + rng() % 10);
      return s;
    };
    list.push_back(value() + "," + value());
  }
  list.resize(count);
  return list;
}

}  // namespace crewmap::reader::test
