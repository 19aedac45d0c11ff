// The capture over a window-source test double: origin table, validation,
// the "Lock" rule, the device context's lifetime and the failure text; noise
// at the table's place; what the player is told. The real X11 path (every
// size, a read-out found by search) is exercised end to end in
// capture_x11_test.cpp.
#include "reader/capture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "reader/capture_state.h"
#include "reader/origin.h"
#include "reader/validation.h"
#include "readout_canvas.h"

namespace crewmap::reader {
namespace {

using platform::DeviceContext;
using platform::WindowHandle;
using platform::WindowRect;

TEST(OriginTable, WidthAndHeightAreLookedUpIndependently) {
  struct Case {
    std::int64_t width, height;
    std::int32_t x, y;
  };
  const Case cases[] = {
      {806, 629, 722, 328},     {1280, 600, 1202, 328}, {799, 960, 0, 688},      {799, 10000, 0, 688},
      {800, 600, 722, 328},     {1023, 767, 722, 328},  {1024, 768, 946, 496},   {1151, 863, 946, 496},
      {1152, 864, 1074, 592},   {1279, 959, 1074, 592}, {1280, 960, 1202, 688},  {3840, 2160, 1202, 688},
      {640, 599, 0, 0},         {0, 0, 0, 0},           {-5, -100, 0, 0},        {600, 800, 0, 496},
      {std::int64_t{1} << 40, std::numeric_limits<std::int64_t>::min(), 1202, 0},
  };
  for (const Case& c : cases) {
    const ReadoutOrigin o = OriginForSize(c.width, c.height);
    EXPECT_EQ(o.x, c.x) << c.width << " x " << c.height;
    EXPECT_EQ(o.y, c.y) << c.width << " x " << c.height;
    EXPECT_EQ(XOriginForWidth(c.width), c.x);
    EXPECT_EQ(YOriginForHeight(c.height), c.y);
  }
}

TEST(ValidatePosition, OnlyCoordinatePairsPass) {
  const std::pair<const char*, const char*> cases[] = {
      {"14602,5579", "14602,5579"},
      {"14602", ""},
      {",5579", ""},
      {"14602,", ""},
      {"1,2,3", "1,2,3"},
      {"1,2,", "1,2,"},      // only the first two fields are tested
      {"1,,3", ""},
      {"", ""},
      {",", ""},
      {",,", ""},
      {"0,0", "0,0"},
      {"99999999999,1", "99999999999,1"},  // longer than a 32-bit integer: still a pair
      {"1,99999999999", "1,99999999999"},
      {"14", ""},
  };
  for (const auto& [joined, expected] : cases) EXPECT_EQ(ValidatePosition(joined), expected) << joined;
}

// Windows on a fake desktop: each has an outer rectangle and a canvas that
// its client area shows. Handles are never reused.
class FakeDesktop final : public platform::WindowSource {
 public:
  struct Window {
    std::string title;
    WindowRect rect;
    std::shared_ptr<test::ReadoutCanvas> canvas;
    bool alive = true;
    std::optional<platform::ClientArea> client;  // none: the source cannot tell
  };

  WindowHandle Open(const std::string& title, WindowRect rect, std::shared_ptr<test::ReadoutCanvas> canvas,
                    std::optional<platform::ClientArea> client = std::nullopt) {
    const WindowHandle h = nextHandle_++;
    windows_[h] = {title, rect, std::move(canvas), true, client};
    return h;
  }
  Window& At(WindowHandle h) { return windows_.at(h); }
  void Close(WindowHandle h) { windows_.at(h).alive = false; }

  WindowHandle FindWindowByTitle(std::string_view title) override {
    lookups.emplace_back(title);
    for (const auto& [h, w] : windows_)
      if (w.alive && w.title == title) return h;
    return 0;
  }
  DeviceContext GetDC(WindowHandle window) override {
    if (window != 0 && (!windows_.count(window) || !windows_[window].alive)) return 0;
    const DeviceContext dc = nextDc_++;
    live_[dc] = window;
    return dc;
  }
  bool GetWindowRect(WindowHandle window, WindowRect& rect) override {
    ++rectQueries;
    if (window == 0 || !windows_.count(window) || !windows_[window].alive) return false;
    rect = windows_[window].rect;
    return true;
  }
  bool GetClientArea(WindowHandle window, platform::ClientArea& area) override {
    if (!windows_.count(window) || !windows_[window].client) return false;
    area = *windows_[window].client;
    return true;
  }
  std::uint32_t GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) override {
    reads.emplace_back(x, y);
    const auto it = live_.find(dc);
    if (it == live_.end()) {
      ++readsWithoutContext;
      return platform::kInvalidColor;
    }
    if (it->second == 0) return screen ? screen->At(x, y) : platform::kInvalidColor;
    const Window& w = windows_[it->second];
    return w.alive && w.canvas ? w.canvas->At(x, y) : platform::kInvalidColor;
  }
  // Copies from the same pixels when `copies` is set; refuses otherwise.
  bool ReadBlock(DeviceContext dc, const platform::PixelRect& rect, platform::PixelBlock& block) override {
    blockRects.push_back(rect);
    if (!copies || !live_.count(dc)) return false;
    block.Reset(rect, platform::kInvalidColor);
    const WindowHandle w = live_[dc];
    const test::ReadoutCanvas* canvas = w == 0 ? screen.get() : windows_[w].canvas.get();
    for (std::int32_t row = 0; canvas && row < rect.height; ++row)
      for (std::int32_t col = 0; col < rect.width; ++col)
        block.Row(row)[col] = canvas->At(std::int64_t{rect.left} + col, std::int64_t{rect.top} + row);
    return true;
  }
  void ReleaseDC(WindowHandle window, DeviceContext dc) override {
    const auto it = live_.find(dc);
    if (it == live_.end() || it->second != window) ++badReleases;
    else live_.erase(it);
  }

  std::size_t LiveContexts() const { return live_.size(); }

  std::shared_ptr<test::ReadoutCanvas> screen;  // what the null handle's context shows
  std::vector<std::string> lookups;
  std::vector<std::pair<std::int32_t, std::int32_t>> reads;
  bool copies = false;
  std::vector<platform::PixelRect> blockRects;
  int rectQueries = 0;
  int readsWithoutContext = 0;
  int badReleases = 0;

 private:
  WindowHandle nextHandle_ = 0x1000;
  DeviceContext nextDc_ = 1;
  std::map<WindowHandle, Window> windows_;
  std::map<DeviceContext, WindowHandle> live_;
};

class FakeControls final : public CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string& utf8Text) override { failures.push_back(utf8Text); }
  bool lock = false;
  std::vector<std::string> failures;
};

// A game window of the given outer size whose client shows `text` where the
// game puts its read-out.
std::shared_ptr<test::ReadoutCanvas> GameCanvas(int width, int height, const std::string& text) {
  auto canvas = std::make_shared<test::ReadoutCanvas>(width, height);
  const ReadoutOrigin o = OriginForSize(width, height);
  canvas->DrawReadout(text, o.x, o.y);
  return canvas;
}

constexpr const char* kTitle = "大航海時代 Online";

TEST(CapturePosition, ReadsTheTwelveCellsWhereTheOuterSizePutsThem) {
  FakeDesktop desktop;
  FakeControls controls;
  // Outer 806 x 629: cells at y 328 and x 722, 728, ..., 788.
  const auto h = desktop.Open(kTitle, {100, 50, 906, 679}, GameCanvas(806, 629, "14602,5579"));
  CoordinateCapture capture(desktop, controls);
  const CaptureOutcome out = capture.CapturePosition();
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.position, "14602,5579");
  EXPECT_EQ(capture.GameWindow, h);
  EXPECT_EQ(capture.GameDC, 0u) << "the context is released after the twelfth cell";
  EXPECT_EQ(desktop.LiveContexts(), 0u);
  EXPECT_EQ(desktop.badReleases, 0);
  EXPECT_TRUE(controls.failures.empty());
  ASSERT_EQ(desktop.lookups, std::vector<std::string>{kTitle});
  // Every P1 probe of the twelve cells was read, and nothing outside the cells.
  std::set<std::pair<std::int32_t, std::int32_t>> read(desktop.reads.begin(), desktop.reads.end());
  for (int i = 0; i < 12; ++i) EXPECT_TRUE(read.count({722 + 6 * i + 1, 336})) << "cell " << i;
  for (const auto& [x, y] : desktop.reads) {
    EXPECT_GE(x, 722);
    EXPECT_LE(x, 722 + 71);
    EXPECT_GE(y, 328);
    EXPECT_LE(y, 337);
  }
  EXPECT_LE(desktop.reads.size(), 108u);
}

TEST(CapturePosition, JoinedTextIsValidated) {
  const std::pair<const char*, const char*> cases[] = {
      {"14602,5579", "14602,5579"}, {"14602", ""}, {",5579", ""}, {"14602,", ""}, {"1,2,3", "1,2,3"}, {"", ""},
      {"3838,8383", "3838,8383"},   {"9999999999,1", "9999999999,1"},
  };
  for (const auto& [shown, expected] : cases) {
    FakeDesktop desktop;
    FakeControls controls;
    desktop.Open(kTitle, {0, 0, 1024, 768}, GameCanvas(1024, 768, shown));
    CoordinateCapture capture(desktop, controls);
    const CaptureOutcome out = capture.CapturePosition();
    EXPECT_TRUE(out.ok) << shown;
    EXPECT_EQ(out.position, expected) << shown;
  }
}

TEST(CapturePosition, BlankCellsCloseUp) {
  // Cells reading 1, blank, 4, ",", 2 join to 14,2.
  FakeDesktop desktop;
  FakeControls controls;
  desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "1x4,2"));
  CoordinateCapture capture(desktop, controls);
  EXPECT_EQ(capture.CapturePosition().position, "14,2");
}

TEST(CapturePosition, OneCopyServesEveryCellAndARefusedCopyFallsBackToSingleReads) {
  FakeDesktop desktop;
  FakeControls controls;
  desktop.Open(kTitle, {100, 50, 906, 679}, GameCanvas(806, 629, "38083,80883"));
  desktop.copies = true;
  CoordinateCapture block(desktop, controls);
  EXPECT_EQ(block.CapturePosition().position, "38083,80883");
  ASSERT_EQ(desktop.blockRects.size(), 1u) << "one copy per capture";
  // The twelve cells, the one before, and their outline.
  EXPECT_EQ(desktop.blockRects[0].left, 715);
  EXPECT_EQ(desktop.blockRects[0].top, 327);
  EXPECT_EQ(desktop.blockRects[0].width, 80);
  EXPECT_EQ(desktop.blockRects[0].height, 12);
  EXPECT_TRUE(desktop.reads.empty()) << "no single reads beside the copy";
  EXPECT_EQ(desktop.LiveContexts(), 0u);

  // Refused: the same capture reads pixel by pixel and gets the same text.
  desktop.copies = false;
  EXPECT_EQ(block.CapturePosition().position, "38083,80883");
  EXPECT_EQ(desktop.blockRects.size(), 2u);
  EXPECT_FALSE(desktop.reads.empty());

  // The reference way never asks for a copy.
  desktop.copies = true;
  desktop.reads.clear();
  CoordinateCapture single(desktop, controls, PixelFetch::Single);
  EXPECT_EQ(single.CapturePosition().position, "38083,80883");
  EXPECT_EQ(desktop.blockRects.size(), 2u);
  EXPECT_FALSE(desktop.reads.empty());
  EXPECT_TRUE(controls.failures.empty());
}

TEST(CapturePosition, NoGameWindowReadsTheScreenCornerAndSucceedsEmpty) {
  FakeDesktop desktop;
  FakeControls controls;
  desktop.screen = std::make_shared<test::ReadoutCanvas>(1920, 1080);
  CoordinateCapture capture(desktop, controls);
  const CaptureOutcome out = capture.CapturePosition();
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.position, "");
  EXPECT_EQ(capture.GameWindow, 0u);
  EXPECT_TRUE(controls.failures.empty());
  for (const auto& [x, y] : desktop.reads) {
    EXPECT_LT(x, 72);
    EXPECT_LT(y, 10);
  }
  // Should the corner show a read-out, it is what is read.
  desktop.screen->DrawReadout("12,34", 0, 0);
  EXPECT_EQ(capture.CapturePosition().position, "12,34");
}

TEST(CapturePosition, MinimisedWindowGivesEmpty) {
  // Tiny outer size, nothing readable: both origins 0, every read invalid.
  FakeDesktop desktop;
  FakeControls controls;
  const auto h = desktop.Open(kTitle, {-32000, -32000, -31840, -31972}, nullptr);
  CoordinateCapture capture(desktop, controls);
  const CaptureOutcome out = capture.CapturePosition();
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.position, "");
  // A source that tells: said so, and nothing is read.
  desktop.At(h).client = platform::ClientArea{0, 0, true};
  desktop.reads.clear();
  EXPECT_EQ(capture.CapturePosition().state, CaptureState::Minimised);
  EXPECT_TRUE(desktop.reads.empty());
}

TEST(CapturePosition, ExtremeRectanglesNeitherOverflowNorCrash) {
  const WindowRect rects[] = {
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min(),
       std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()},
      {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(),
       std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min()},
      {500, 500, 0, 0},
  };
  for (const WindowRect& r : rects) {
    FakeDesktop desktop;
    FakeControls controls;
    desktop.Open(kTitle, r, GameCanvas(1280, 960, "1,2"));
    CoordinateCapture capture(desktop, controls);
    const CaptureOutcome out = capture.CapturePosition();
    EXPECT_TRUE(out.ok);
    // A huge (not wrapped-negative) size reads at the largest origin.
    if (r.left < r.right) EXPECT_EQ(out.position, "1,2");
    else EXPECT_EQ(out.position, "");
  }
}

TEST(CapturePosition, WithoutLockEveryCaptureLooksTheWindowUpAgain) {
  FakeDesktop desktop;
  FakeControls controls;
  const auto first = desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "1,1"));
  CoordinateCapture capture(desktop, controls);
  EXPECT_EQ(capture.CapturePosition().position, "1,1");
  desktop.Close(first);
  const auto second = desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "2,2"));
  EXPECT_EQ(capture.CapturePosition().position, "2,2");
  EXPECT_EQ(capture.GameWindow, second);
  EXPECT_EQ(desktop.lookups.size(), 2u);
}

TEST(CapturePosition, LockKeepsTheHeldWindowWithoutLookingUp) {
  FakeDesktop desktop;
  FakeControls controls;
  const auto first = desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "1,1"));
  CoordinateCapture capture(desktop, controls);
  controls.lock = true;  // ticked while no handle is held: still looks up
  EXPECT_EQ(capture.CapturePosition().position, "1,1");
  EXPECT_EQ(desktop.lookups.size(), 1u);
  // A second window with the same title does not steal the lock.
  desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "2,2"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(capture.CapturePosition().position, "1,1");
  EXPECT_EQ(desktop.lookups.size(), 1u);
  EXPECT_EQ(capture.GameWindow, first);
}

TEST(CapturePosition, LockedWindowThatClosedFailsEveryTickUntilUnlocked) {
  FakeDesktop desktop;
  FakeControls controls;
  const auto first = desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "1,1"));
  CoordinateCapture capture(desktop, controls);
  controls.lock = true;
  ASSERT_EQ(capture.CapturePosition().position, "1,1");
  desktop.Close(first);
  desktop.Open(kTitle, {0, 0, 800, 600}, GameCanvas(800, 600, "2,2"));
  const std::size_t readsBefore = desktop.reads.size();
  for (int tick = 1; tick <= 3; ++tick) {
    const CaptureOutcome out = capture.CapturePosition();
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.position, "");
    ASSERT_EQ(controls.failures.size(), static_cast<std::size_t>(tick));
    EXPECT_EQ(controls.failures.back(), "失敗しました。");
    EXPECT_EQ(capture.GameWindow, first);
    EXPECT_EQ(capture.GameDC, 0u);
  }
  EXPECT_EQ(desktop.reads.size(), readsBefore) << "no cells are read after a failure";
  EXPECT_EQ(desktop.lookups.size(), 1u);
  EXPECT_EQ(desktop.badReleases, 0);
  controls.lock = false;
  const CaptureOutcome out = capture.CapturePosition();
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.position, "2,2");
  EXPECT_EQ(desktop.lookups.size(), 2u);
}

TEST(CapturePosition, NoContextForTheScreenIsAFailure) {
  // A source that cannot give any context at all (no display).
  struct Nothing final : platform::WindowSource {
    WindowHandle FindWindowByTitle(std::string_view) override { return 0; }
    DeviceContext GetDC(WindowHandle) override { return 0; }
    bool GetWindowRect(WindowHandle, WindowRect&) override { return false; }
    std::uint32_t GetPixel(DeviceContext, std::int32_t, std::int32_t) override {
      ADD_FAILURE() << "no reads without a context";
      return platform::kInvalidColor;
    }
    void ReleaseDC(WindowHandle, DeviceContext) override { ADD_FAILURE() << "nothing to release"; }
  } nothing;
  FakeControls controls;
  CoordinateCapture capture(nothing, controls);
  EXPECT_FALSE(capture.CapturePosition().ok);
  EXPECT_EQ(controls.failures, std::vector<std::string>{"失敗しました。"});
}

TEST(ValidatePosition, WorldPositionsAndShipSteps) {
  const std::pair<const char*, bool> world[] = {{"0,0", true},   {"16383,8191", true}, {"16384,1", false},
                                                 {"1,8192", false}, {"1,2,3", false},    {"14602", false},
                                                 {",5", false},     {"99999999999,1", false}, {"0012,5", true}};
  for (const auto& [text, expected] : world) EXPECT_EQ(IsWorldPosition(text), expected) << text;
  const std::tuple<const char*, const char*, bool> steps[] = {  // still; too far; across the seam; no place
      {"100,100", "101,100", true}, {"100,100", "100,100", false}, {"100,100", "164,36", true},
      {"100,100", "165,100", false}, {"16380,50", "3,50", true},   {"12,500", "1,2,3", false}};
  for (const auto& [from, to, expected] : steps) EXPECT_EQ(PlausibleStep(from, to), expected) << from << " " << to;
}

// Fault caught: noise in the read-out's own white and black where a table
// size puts the read-out (a busy picture, no read-out shown) read as a
// position; the probes alone let such noise through. Also: a glyph's outline
// checked across only (a white bar without black above and below reads as
// "1"); no look at the cell before the place (a longer number one cell
// earlier is read from its middle).
TEST(CapturePosition, NoiseAtTheTablePlaceNeverReads) {
  FakeDesktop desktop;
  desktop.copies = true;
  FakeControls controls;
  auto canvas = std::make_shared<test::ReadoutCanvas>(1024, 768);
  desktop.Open(kTitle, {10, 10, 10 + 1040, 10 + 807}, canvas, platform::ClientArea{1024, 768, false});
  std::int64_t now = 0;
  CoordinateCapture capture(desktop, controls, PixelFetch::Block, [&now] { return now; });
  std::mt19937 rng(5);
  for (int i = 0; i < 200; ++i, now += 1000) {
    for (int y = 480; y < 520; ++y)
      for (int x = 930; x < 1030; ++x) canvas->Set(x, y, rng() % 2 ? 0x00FFFFFFu : rng() % 2 ? 0u : test::kSea);
    ASSERT_EQ(capture.CapturePosition().position, "") << "tick " << i;
  }
  const auto redraw = [&](const char* text, int x) {
    for (int y = 480; y < 520; ++y)
      for (int col = 930; col < 1030; ++col) canvas->Set(col, y, test::kSea);
    canvas->DrawReadout(text, x, 496);
  };
  redraw("114602,5579", 940);
  EXPECT_EQ(capture.CapturePosition().position, "") << "a longer number one cell earlier";
  redraw("14602,5579", 946);
  for (const int dy : {-2, -1, 9, 10})
    for (const int dx : {2, 3, 4}) canvas->Set(946 + dx, 496 + dy, dx == 3 ? 0x00FFFFFFu : 0u);
  EXPECT_EQ(capture.CapturePosition().position, "") << "a white bar through the 1";
}

// Fault caught: a number that counted fast for a while and then slowly (a
// tally) is taken for a ship's read-out and kept for good.
TEST(CapturePosition, ACounterIsDroppedOnceItStepsBetweenRests) {
  FakeDesktop desktop;
  desktop.copies = true;
  FakeControls controls;
  const auto game = desktop.Open(kTitle, {0, 0, 1280, 720}, nullptr, platform::ClientArea{1280, 720, false});
  std::int64_t now = 0;
  CoordinateCapture capture(desktop, controls, PixelFetch::Block, [&now] { return now; });
  int count = 500, lastRead = -1;
  for (int second = 0; second < 120; ++second, now += 1000) {
    if (second < 10 || second % 5 == 0) ++count;  // every second, then every fifth
    desktop.At(game).canvas = std::make_shared<test::ReadoutCanvas>(1280, 720);
    desktop.At(game).canvas->DrawReadout("12," + std::to_string(count), 100, 100);
    if (!capture.CapturePosition().position.empty()) lastRead = second;
  }
  EXPECT_LT(lastRead, 30);
}

#ifdef CREWMAP_SOURCE_DIR
// Faults caught: a state without a line of its own, a line the README does not
// give, numbers swapped (expected: its rows, the numbers put in for W, H, X, Y).
TEST(CaptureState, EachOutcomeReadsAsTheReadmeListsIt) {
  std::set<std::string> documented, shown;
  std::ifstream readme(CREWMAP_SOURCE_DIR "/README.md");
  const std::regex row(R"(^\| (main window's bottom line|same)[^|]*\|([^|]*)\|)"), span("`([^`]+)`");
  std::smatch m;
  for (std::string line, said; std::getline(readme, line);) {
    said = std::regex_search(line, m, row) && (m[1] == "same" ? !said.empty() : true) ? std::string(m[2]) : "";
    for (auto it = std::sregex_iterator(said.begin(), said.end(), span); it != std::sregex_iterator(); ++it) {
      std::string text = (*it)[1];
      for (const auto& [letter, number] : {std::pair{"W", "1920"}, {"H", "1080"}, {"X", "1842"}, {"Y", "808"}})
        text = std::regex_replace(text, std::regex(letter), number);
      documented.insert(text);
    }
  }
  for (int state = 0; state <= static_cast<int>(CaptureState::Reading); ++state)  // Reading comes last
    for (const bool locked : {false, true}) {
      const std::string line = CaptureStateText(
          {true, "", static_cast<CaptureState>(state), locked, 1920, 1080, {PlaceKind::Found, {1842, 808}}});
      EXPECT_TRUE(documented.count(line)) << line;
      shown.insert(line);
    }
  EXPECT_EQ(shown, documented);
}
#endif

TEST(CaptureState, OnlyLastingChangesAreLogged) {
  CaptureStateLog log;
  const std::pair<const char*, bool> ticks[] = {{"a", false}, {"a", true}, {"a", false}, {"b", false},
                                                {"a", false}, {"a", false}, {"b", false}, {"b", true}};
  for (const auto& [shown, logged] : ticks) EXPECT_EQ(log.ShouldLog(shown), logged) << shown;
}

}  // namespace
}  // namespace crewmap::reader
