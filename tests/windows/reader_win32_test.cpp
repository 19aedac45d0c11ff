// The coordinate reader end to end on Windows: the real capture through the
// Win32 window source against the Win32 substitute game window in another
// process (FindWindowW, GetDC, GetWindowRect, GetPixel, ReleaseDC).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "game_sim_process.h"
#include "game_title.h"
#include "platform/win32/win32_window_source.h"
#include "reader/capture.h"

namespace crewmap::tests {
namespace {

class TestControls : public reader::CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string& utf8Text) override { failures.push_back(utf8Text); }
  bool lock = false;
  std::vector<std::string> failures;
};

struct ReadoutCase {
  std::string drawn;
  std::string expected;  // position text
};

// Every digit, both glyph designs of our own ("3", "8"), the widest read-out
// and read-outs that fail validation.
const std::vector<ReadoutCase> kReadouts = {
    {"14602,5579", "14602,5579"}, {"14175,7410", "14175,7410"}, {"3838,8383", "3838,8383"},
    {"16383,8191", "16383,8191"}, {"0,0", "0,0"},               {"12345678,90", "12345678,90"},
    {"14602", ""},                {",5579", ""},                {"14602,", ""},
    {"1,2,3", "1,2,3"},
};

struct SizeCase {
  int width;
  int height;
};
void PrintTo(const SizeCase& s, std::ostream* os) { *os << s.width << "x" << s.height; }

class ReaderWin32 : public ::testing::TestWithParam<SizeCase> {};

// Wine hands a window's drawing to the X server asynchronously, so a read-out
// that has just been repainted may reach the screen a moment later. Reads
// until the expected text shows or a few seconds have passed; the last outcome
// is what the test judges.
reader::CaptureOutcome CaptureOnceSettled(reader::CoordinateCapture& capture,
                                          const std::string& expected) {
  reader::CaptureOutcome outcome;
  const ULONGLONG deadline = GetTickCount64() + 3000;
  do {
    outcome = capture.CapturePosition();
    if (!outcome.ok || outcome.position == expected) break;
    Sleep(20);
  } while (GetTickCount64() < deadline);
  return outcome;
}

TEST(ReaderWin32NoWindow, NoGameWindowGivesEmptyTextAndSuccess) {
  ASSERT_EQ(FindWindowW(nullptr, kGameTitleWide), nullptr) << "a game window is already open";
  platform::Win32WindowSource source;
  TestControls controls;
  reader::CoordinateCapture capture(source, controls);
  const reader::CaptureOutcome outcome = capture.CapturePosition();
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "");
  EXPECT_EQ(capture.GameWindow, 0u);
  EXPECT_EQ(capture.GameDC, 0u) << "the screen's context must be released";
  EXPECT_TRUE(controls.failures.empty());
}

TEST_P(ReaderWin32, ReadsEveryReadoutAtTheOriginOfTheOuterSize) {
  const SizeCase size = GetParam();
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(size.width, size.height, kReadouts.front().drawn, error)) << error;

  platform::Win32WindowSource source;
  // The outer rectangle, frame included, is what the origin table is keyed on.
  platform::WindowRect rect;
  ASSERT_TRUE(source.GetWindowRect(reinterpret_cast<std::uintptr_t>(sim.Window()), rect));
  EXPECT_EQ(rect.right - rect.left, size.width);
  EXPECT_EQ(rect.bottom - rect.top, size.height);

  TestControls controls;
  reader::CoordinateCapture capture(source, controls);
  for (const ReadoutCase& c : kReadouts) {
    SCOPED_TRACE("read-out " + c.drawn);
    ASSERT_TRUE(sim.SetReadout(c.drawn));
    const reader::CaptureOutcome outcome = CaptureOnceSettled(capture, c.expected);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.position, c.expected);
    EXPECT_EQ(capture.GameWindow, reinterpret_cast<std::uintptr_t>(sim.Window()));
  }
  EXPECT_TRUE(controls.failures.empty());
}

// Two rows of the origin table in both directions, and one window whose
// width and height fall in different rows.
INSTANTIATE_TEST_SUITE_P(OuterSizes, ReaderWin32,
                         ::testing::Values(SizeCase{806, 629}, SizeCase{1286, 989}, SizeCase{1280, 600}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST(ReaderWin32Lock, ClosedLockedWindowFailsEveryTickUntilUnlocked) {
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(1030, 797, "14175,7410", error)) << error;

  platform::Win32WindowSource source;
  TestControls controls;
  controls.lock = true;
  reader::CoordinateCapture capture(source, controls);
  // "Lock" with no handle held still looks the window up.
  reader::CaptureOutcome outcome = CaptureOnceSettled(capture, "14175,7410");
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "14175,7410");
  const platform::WindowHandle locked = capture.GameWindow;
  ASSERT_NE(locked, 0u);

  sim.Stop();
  for (int tick = 0; tick < 3; ++tick) {
    outcome = capture.CapturePosition();
    EXPECT_FALSE(outcome.ok) << "tick " << tick;
    EXPECT_EQ(outcome.position, "");
    EXPECT_EQ(capture.GameWindow, locked) << "a locked handle is kept";
  }
  EXPECT_EQ(controls.failures, std::vector<std::string>(3, "失敗しました。"));

  // Unticked: the next capture looks again, finds nothing, and reads the
  // screen's corner, which is no read-out.
  controls.lock = false;
  outcome = capture.CapturePosition();
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "");
  EXPECT_EQ(capture.GameWindow, 0u);
  EXPECT_EQ(controls.failures.size(), 3u);

  // And a window that opens again is found again.
  ASSERT_TRUE(sim.Start(1030, 797, "3,8", error)) << error;
  outcome = CaptureOnceSettled(capture, "3,8");
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "3,8");
}

}  // namespace
}  // namespace crewmap::tests
