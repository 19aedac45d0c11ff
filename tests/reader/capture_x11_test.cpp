// End to end on a real X server: gamesim shows positions in the game's font
// where the game draws them (78 left of and 272 above the client area's
// bottom-right corner) or elsewhere, and CapturePosition reads them through
// the X11 window source.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "gamesim/gamesim_process.h"
#include "platform/x11/x11_window_source.h"
#include "gamesim_reading.h"
#include "reader/capture.h"

namespace crewmap::reader {
namespace {

using namespace std::chrono_literals;

using test::CaptureUntil;
using test::Controls;
using test::Positions;

TEST(CaptureX11, PositionsCoverEveryDigitAndLength) {
  std::set<char> digits;
  std::set<std::size_t> lengths;
  for (const std::string& p : Positions(12, 1)) {
    for (const char c : p) digits.insert(c);
    lengths.insert(p.find(','));
  }
  EXPECT_EQ(digits.size(), 11u);
  EXPECT_TRUE(lengths.count(1) && lengths.count(5));
}

struct SizeCase {
  const char* size;
  unsigned seed;
};

class CaptureX11AtSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(CaptureX11AtSize, ReadsExactlyThePositionShown) {
  const std::vector<std::string> positions = Positions(12, GetParam().seed);
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", GetParam().size, "--pos", positions[0]}));
  platform::X11WindowSource source;
  ASSERT_TRUE(source.Connected());
  Controls controls;
  CoordinateCapture capture(source, controls);

  // The first answer also tells the outer size the sim ended up with: the
  // client size on a bare server, a little more under a window manager.
  const auto first = sim.Command(positions[0]);
  ASSERT_TRUE(first.has_value());
  if (!std::getenv("CREWMAP_TEST_DISPLAY")) {
    ASSERT_EQ(*first, "shown " + positions[0] + " " + GetParam().size);
  }
  int width = 0, height = 0;
  ASSERT_EQ(std::sscanf(GetParam().size, "%dx%d", &width, &height), 2);
  for (const std::string& p : positions) {
    ASSERT_TRUE(sim.Command("readout off") && test::CaptureUntilGone(capture)) << GetParam().size;
    const auto ack = sim.Command(p);
    ASSERT_TRUE(ack.has_value()) << "gamesim stopped answering";
    ASSERT_EQ(ack->rfind("shown " + p, 0), 0u) << *ack;
    // The first wrong reading ends the case: the rest would only wait too.
    const std::string expected = test::ExpectedReading(p, width, height);
    ASSERT_EQ(CaptureUntil(capture, expected), expected) << p << " at " << GetParam().size;
  }
  EXPECT_NE(capture.GameWindow, 0u);
  EXPECT_TRUE(controls.failures.empty());

  // Faults caught: a box from a cell's edge over the end leaves a shorter
  // number of whole glyphs (14602,55), one from inside a digit a piece of it
  // (the 5's lower left passed for a 3), one over the start the rest; each
  // was sent as a position.
  ASSERT_TRUE(sim.Command("readout off") && test::CaptureUntilGone(capture) && sim.Command("14602,5579"));
  const ReadoutOrigin at = *CornerOrigin(width, height);
  for (const auto& [dx, w, state] : {std::tuple{48, 30, CaptureState::Held}, std::tuple{40, 40, CaptureState::Covered},
                                     std::tuple{-8, 20, CaptureState::Covered}}) {
    ASSERT_EQ(CaptureUntil(capture, "14602,5579"), "14602,5579") << GetParam().size;
    const std::string box = std::to_string(at.x + dx) + "," + std::to_string(at.y - 2) + "," + std::to_string(w);
    ASSERT_TRUE(sim.Command("cover " + box + ",14").has_value());
    EXPECT_TRUE(test::ReadsNothingWhile(capture, state)) << "box at " << box << " in " << GetParam().size;
    ASSERT_TRUE(sim.Command("cover off").has_value());
  }
}

// The origin table's rows, the 16:9 sizes players use today, and sizes
// between the rows.
INSTANTIATE_TEST_SUITE_P(GameSizes, CaptureX11AtSize,
                         ::testing::Values(SizeCase{"800x600", 11}, SizeCase{"1024x768", 12},
                                           SizeCase{"1152x864", 13}, SizeCase{"1280x960", 14},
                                           SizeCase{"1280x720", 18}, SizeCase{"1366x768", 19},
                                           SizeCase{"1600x900", 20}, SizeCase{"1920x1080", 21},
                                           SizeCase{"2560x1440", 22}, SizeCase{"640x480", 15},
                                           SizeCase{"1280x600", 16}, SizeCase{"1100x900", 17}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           std::string name = info.param.size;
                           for (char& c : name)
                             if (c == 'x') c = '_';
                           return "size_" + name;
                         });

TEST(CaptureX11, ResizingMovesTheReadoutAndTheReaderFollows) {
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", "1280x960", "--pos", "4321,7865"}));
  platform::X11WindowSource source;
  Controls controls;
  CoordinateCapture capture(source, controls);
  for (const char* size : {"1280x960", "1920x1080", "800x600", "1366x768", "1152x864", "700x500", "2560x1440",
                           "1024x768"}) {
    const auto ack = sim.Command(std::string("size ") + size);
    ASSERT_TRUE(ack.has_value());
    if (!std::getenv("CREWMAP_TEST_DISPLAY")) {
      EXPECT_EQ(*ack, std::string("shown 4321,7865 ") + size);
    }
    ASSERT_EQ(CaptureUntil(capture, "4321,7865"), "4321,7865") << size;
  }
}

// Faults caught: a read-out drawn away from the table's and the corner's
// place is never read; a price, a clock or noise in the read-out's white and
// black becomes a position; a searched place is trusted while the ship lies
// still (a decoy lies still too); a read-out that moves again is not followed.
// Also: twenty still prices nearer the corner starve the read-out; bands
// that do not overlap miss one across their edge (rows 799 to 810); a found
// place kept over a size change is read while the ship lies at anchor.
TEST(CaptureX11, AReadoutDrawnElsewhereIsReadOnceTheShipSailsAndDecoysNever) {
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", "1920x1080", "--busy", "--decoys", "--price-list", "--readout-at",
                         "300,200", "--pos", "1000,2000"}));
  ASSERT_TRUE(sim.Command("1000,2000").has_value());
  platform::X11WindowSource source;
  Controls controls;
  CoordinateCapture capture(source, controls);
  // Two passes of the search (some seconds apart) over a ship at anchor.
  const auto still = std::chrono::steady_clock::now() + 6500ms;
  for (; std::chrono::steady_clock::now() < still; std::this_thread::sleep_for(100ms))
    ASSERT_EQ(capture.CapturePosition().position, "");
  EXPECT_EQ(capture.CapturePosition().state, CaptureState::Confirming);
  // Under way, a step at a time: read where it is, and on while it lies still.
  auto sail = [&](int x, int y) {
    std::string p;
    for (int step = 1; step <= 400; ++step, std::this_thread::sleep_for(50ms))
      if (sim.Command(p = std::to_string(x + step) + "," + std::to_string(y)) && capture.CapturePosition().position == p) return p;
    return std::string("<never read>");
  };
  EXPECT_EQ(sail(1000, 2000), "1002,2000") << "found at once, with the third reading (two steps)";
  const CaptureOutcome anchored = capture.CapturePosition();
  EXPECT_EQ(anchored.position, "1002,2000");
  EXPECT_TRUE(anchored.place.kind == PlaceKind::Found && anchored.place.origin.x == 300 && anchored.place.origin.y == 200);
  // The game moves its read-out: looked for again and found again.
  ASSERT_TRUE(sim.Command("readout-at 1100,800").has_value());
  EXPECT_NE(sail(5000, 600), "<never read>");
  EXPECT_EQ(capture.CapturePosition().place.origin.y, 800);
  // Another size, the ship at anchor: the place must prove itself again.
  ASSERT_TRUE(sim.Command("size 1920x1000").has_value());
  EXPECT_TRUE(test::ReadsNothingWhile(capture, CaptureState::Confirming));
  EXPECT_NE(sail(6000, 600), "<never read>");
}

TEST(CaptureX11, FieldsLongerThanThirtyTwoBitsPass) {
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", "1024x768", "--pos", "9999999999,1"}));
  platform::X11WindowSource source;
  Controls controls;
  CoordinateCapture capture(source, controls);
  for (const std::string p : {"9999999999,1", "1,9999999999", "42949672960,"}) {
    ASSERT_TRUE(sim.Command("readout off") && test::CaptureUntilGone(capture) && sim.Command(p));
    // A trailing comma leaves the second field empty: no position.
    const std::string expected = p.back() == ',' ? "" : p;
    ASSERT_EQ(CaptureUntil(capture, expected), expected) << p;
  }
}

TEST(CaptureX11, NoGameWindowGivesEmptyTextAndSuccess) {
  platform::X11WindowSource source;
  ASSERT_TRUE(source.Connected());
  Controls controls;
  CoordinateCapture capture(source, controls);
  for (int tick = 0; tick < 3; ++tick) {
    const CaptureOutcome out = capture.CapturePosition();
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.position, "");
    EXPECT_EQ(capture.GameWindow, 0u);
    EXPECT_EQ(out.state, CaptureState::NoWindow);
  }
  EXPECT_TRUE(controls.failures.empty());
}

TEST(CaptureX11, LockedWindowThatClosedFailsUntilUnlocked) {
  platform::X11WindowSource source;
  Controls controls;
  CoordinateCapture capture(source, controls);
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", "800x600", "--pos", "1234,5678"}));
  ASSERT_TRUE(sim.Command("1234,5678").has_value());
  ASSERT_EQ(CaptureUntil(capture, "1234,5678"), "1234,5678");
  controls.lock = true;
  const platform::WindowHandle held = capture.GameWindow;

  sim.Stop();  // the game closes
  for (int tick = 1; tick <= 3; ++tick) {
    const CaptureOutcome out = capture.CapturePosition();
    EXPECT_FALSE(out.ok);
    ASSERT_EQ(controls.failures.size(), static_cast<std::size_t>(tick));
    EXPECT_EQ(controls.failures.back(), "失敗しました。");
    EXPECT_EQ(capture.GameWindow, held);
    EXPECT_TRUE(out.locked);
  }

  // The game comes back; under "Lock" the dead handle is still held.
  ASSERT_TRUE(sim.Start({"--still", "--size", "1024x768", "--pos", "2468,1357"}));
  ASSERT_TRUE(sim.Command("2468,1357").has_value());
  EXPECT_FALSE(capture.CapturePosition().ok);
  controls.lock = false;
  EXPECT_EQ(CaptureUntil(capture, "2468,1357"), "2468,1357");
  EXPECT_NE(capture.GameWindow, held);
}

TEST(CaptureX11, TheShipSailsEverySecondAndSpaceAnchorsIt) {
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", "800x600"}));
  platform::X11WindowSource source;
  Controls controls;
  CoordinateCapture capture(source, controls);
  auto read = [&capture] { return test::CaptureAnyPosition(capture); };
  const std::string before = read();
  ASSERT_FALSE(before.empty());
  ASSERT_NE(before, "<failure>");
  std::this_thread::sleep_for(2200ms);
  const std::string later = read();
  EXPECT_NE(later, before) << "under way, the position changes every second";

  // Space from the keyboard (through the X server) drops anchor.
  const std::string window = std::to_string(capture.GameWindow & 0xFFFFFFFFu);
  ASSERT_EQ(std::system(("xdotool windowfocus --sync " + window + " key space").c_str()), 0);
  std::this_thread::sleep_for(300ms);
  const std::string anchored = read();
  std::this_thread::sleep_for(2200ms);
  EXPECT_EQ(read(), anchored);
}

TEST(CaptureX11, WithoutADisplayEveryCaptureFailsQuietly) {
  const std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  {
    platform::X11WindowSource source;
    EXPECT_FALSE(source.Connected());
    Controls controls;
    CoordinateCapture capture(source, controls);
    EXPECT_FALSE(capture.CapturePosition().ok);
    EXPECT_EQ(controls.failures, std::vector<std::string>{"失敗しました。"});
  }
  setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace crewmap::reader
