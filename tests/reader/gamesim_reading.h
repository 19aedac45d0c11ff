#pragma once
// Helpers shared by the tests that read gamesim on a real X server.
#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "reader/capture.h"
#include "reader/origin.h"
#include "reader/readout_finder.h"
#include "reader/reading_guard.h"
#include "reader/validation.h"

namespace crewmap::reader::test {

class Controls final : public CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string& utf8Text) override { failures.push_back(utf8Text); }
  bool lock = false;
  std::vector<std::string> failures;
};

// How long one wait for the reader may last. The first wait is generous (the
// sim may start slowly under load); once a wait has run out the reader is
// taken to be broken, and every later wait in this test program lasts one
// second, so a broken reader fails the program within seconds instead of
// running into the CTest time-out wait by wait.
inline std::chrono::milliseconds& ReaderPatience() {
  static std::chrono::milliseconds patience{10000};
  return patience;
}

// Captures until `done` accepts the reading (the sim repaints asynchronously)
// or the patience runs out; returns the last reading ("<failure>" when no
// context could be had). A position that is read but not accepted means the
// read-out is drawn and misread: that gets one second, not the full patience.
template <typename Done>
std::string CaptureWhileNot(CoordinateCapture& capture, Done done) {
  using namespace std::chrono_literals;
  auto deadline = std::chrono::steady_clock::now() + ReaderPatience();
  bool misread = false;
  std::string last;
  do {
    const CaptureOutcome out = capture.CapturePosition();
    last = out.ok ? out.position : "<failure>";
    if (done(last)) return last;
    if (!misread && !last.empty() && last != "<failure>") {
      misread = true;
      deadline = std::min(deadline, std::chrono::steady_clock::now() + 1s);
    }
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  ReaderPatience() = 1s;
  return last;
}

inline std::string CaptureUntil(CoordinateCapture& capture, const std::string& expected) {
  return CaptureWhileNot(capture, [&expected](const std::string& read) { return read == expected; });
}

// Captures until it says `state` `captures` times in a row, reading nothing.
// NotFound twice: the read-out gone as behind a loading screen, so that what
// shows next counts wherever it lands.
inline bool ReadsNothingWhile(CoordinateCapture& capture, CaptureState state, int captures = 25) {
  CaptureOutcome out;
  for (int i = 0; i < 250 && (out = capture.CapturePosition()).state != state; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (int i = 1; i < captures && out.position.empty() && out.state == state; ++i, out = capture.CapturePosition())
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return out.position.empty() && out.state == state;
}
inline bool CaptureUntilGone(CoordinateCapture& capture) {
  return ReadsNothingWhile(capture, CaptureState::NotFound, ReadingGuard::kAbsentCaptures);
}

// Captures until some position is read.
inline std::string CaptureAnyPosition(CoordinateCapture& capture) {
  return CaptureWhileNot(capture, [](const std::string& read) { return !read.empty() && read != "<failure>"; });
}

// What a capture reads of `drawn` at the game's place in a width x height client area: at the
// table's own sizes what the table's place always read; elsewhere only a place in the world.
inline std::string ExpectedReading(const std::string& drawn, int width, int height) {
  const auto corner = CornerOrigin(width, height);
  const ReadoutOrigin table = OriginForSize(width, height);
  if (corner && corner->x == table.x && corner->y == table.y) return ValidatePosition(drawn);
  return IsWorldPosition(drawn) ? drawn : std::string();
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
