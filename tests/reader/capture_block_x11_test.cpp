// Block reads against single-pixel reads on a real X server: gamesim at every
// row of the origin table, moved partly off each edge of the screen,
// unmapped, covered, and closed under "Lock". The capture that copies the
// read-out's rectangle in one request must read exactly what the capture that
// asks pixel by pixel reads, and the copy must hold at every pixel of the
// rectangle what a single read of that pixel gives.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gamesim/gamesim_process.h"
#include "gamesim_reading.h"
#include "platform/x11/x11_window_source.h"
#include "reader/capture.h"
#include "reader/glyph.h"
#include "reader/origin.h"
#include "reader/validation.h"

namespace crewmap::reader {
namespace {

using namespace std::chrono_literals;
using platform::PixelBlock;
using platform::PixelPoint;
using platform::WindowHandle;

// How the copy of one capture's probe rectangle compares with single reads.
struct PixelComparison {
  bool copied = false;   // the block read was made (not refused)
  int mismatches = 0;    // pixels whose copy differs from the single read
  int invalid = 0;       // pixels that read invalid (both ways)
  int total = 0;
  std::string first;     // the first mismatch, for the message
};

PixelComparison ComparePixels(platform::X11WindowSource& source, WindowHandle window) {
  PixelComparison result;
  const platform::DeviceContext dc = source.GetDC(window);
  if (dc == 0) return result;
  platform::WindowRect rect{};
  source.GetWindowRect(window, rect);
  const ReadoutOrigin origin = OriginForSize(std::int64_t{rect.right} - rect.left, std::int64_t{rect.bottom} - rect.top);
  const platform::PixelRect area = ProbeArea(origin.x, origin.y, kCellCount, kCellPitch);
  PixelBlock copy;
  result.copied = source.ReadBlock(dc, area, copy);
  std::vector<PixelPoint> points;
  for (std::int32_t y = area.top; y < area.top + area.height; ++y)
    for (std::int32_t x = area.left; x < area.left + area.width; ++x) points.push_back({x, y});
  std::vector<std::uint32_t> single(points.size());
  source.GetPixels(dc, points.data(), points.size(), single.data());
  source.ReleaseDC(window, dc);
  result.total = static_cast<int>(points.size());
  for (std::size_t i = 0; i < points.size() && result.copied; ++i) {
    const std::uint32_t block = copy.At(points[i].x, points[i].y);
    if (single[i] == platform::kInvalidColor) ++result.invalid;
    if (block == single[i]) continue;
    if (result.mismatches++ == 0)
      result.first = "at " + std::to_string(points[i].x) + "," + std::to_string(points[i].y) + ": block " +
                     std::to_string(block) + ", single " + std::to_string(single[i]);
  }
  return result;
}

// Two captures of the same window, one per way of fetching pixels.
class Differential {
 public:
  Differential()
      : block_(source_, controls_, PixelFetch::Block), single_(source_, controls_, PixelFetch::Single) {}

  // Both captures read the same outcome, and the copy matches single reads
  // pixel for pixel. The screen may still be settling after a change, so a
  // difference must persist over a few tries to count. Returns the position.
  std::string Check(const std::string& where, bool expectCopy = true) {
    CaptureOutcome b, s;
    PixelComparison pixels;
    for (int attempt = 0; attempt < 4; ++attempt) {
      if (attempt) std::this_thread::sleep_for(100ms);
      b = block_.CapturePosition();
      s = single_.CapturePosition();
      pixels = ComparePixels(source_, single_.GameWindow);
      if (b.ok == s.ok && b.position == s.position && pixels.mismatches == 0) break;
    }
    EXPECT_EQ(b.ok, s.ok) << where;
    EXPECT_EQ(b.position, s.position) << where;
    EXPECT_EQ(block_.GameWindow, single_.GameWindow) << where;
    if (s.ok) {
      EXPECT_EQ(pixels.copied, expectCopy) << where;
      EXPECT_EQ(pixels.mismatches, 0) << where << ", first " << pixels.first;
    }
    last = pixels;
    return s.position;
  }

  platform::X11WindowSource& source() { return source_; }
  CoordinateCapture& single() { return single_; }
  test::Controls& controls() { return controls_; }
  PixelComparison last;

 private:
  platform::X11WindowSource source_;
  test::Controls controls_;
  CoordinateCapture block_;
  CoordinateCapture single_;
};

// Read-outs as the game could draw them: digits with one comma anywhere,
// up to twelve characters (some fail validation on purpose).
std::string RandomReadout(std::mt19937& rng) {
  const int length = 1 + static_cast<int>(rng() % 12);
  std::string text;
  for (int i = 0; i < length; ++i) text += static_cast<char>('0' + rng() % 10);
  text[rng() % text.size()] = ',';
  return text;
}

TEST(CaptureBlockX11, RandomReadoutsAtEverySizeRowReadTheSameBothWays) {
  const char* sizes[] = {"800x600", "1024x768", "1152x864", "1280x960", "640x480", "1280x600", "799x1000"};
  std::mt19937 rng(20261207);
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", sizes[0], "--pos", "1,1"}));
  Differential diff;
  int readouts = 0;
  int valid = 0;
  for (const char* size : sizes) {
    ASSERT_TRUE(sim.Command(std::string("size ") + size).has_value());
    for (int i = 0; i < 30; ++i, ++readouts) {
      const std::string drawn = RandomReadout(rng);
      const auto ack = sim.Command(drawn);
      ASSERT_TRUE(ack.has_value()) << "gamesim stopped answering";
      ASSERT_EQ(ack->rfind("shown " + drawn, 0), 0u) << *ack;
      // Settle on what the reference path reads before comparing.
      const std::string expected = ValidatePosition(drawn);
      ASSERT_EQ(test::CaptureUntil(diff.single(), expected), expected) << size;
      const std::string read = diff.Check(std::string(size) + " showing " + drawn);
      EXPECT_EQ(read, expected);
      if (!read.empty()) ++valid;
    }
  }
  EXPECT_GE(readouts, 200);
  EXPECT_GT(valid, 50) << "most random read-outs should form a pair";
}

// The test's own X client: moves, unmaps and covers gamesim's window.
class Mover {
 public:
  Mover() : d_(XOpenDisplay(nullptr)) {}
  ~Mover() {
    if (d_) XCloseDisplay(d_);
  }
  int ScreenWidth() const { return DisplayWidth(d_, DefaultScreen(d_)); }
  int ScreenHeight() const { return DisplayHeight(d_, DefaultScreen(d_)); }
  void Move(WindowHandle w, int x, int y) {
    XMoveWindow(d_, Xid(w), x, y);
    Settle();
  }
  void Unmap(WindowHandle w) {
    XUnmapWindow(d_, Xid(w));
    Settle();
  }
  void Map(WindowHandle w) {
    XMapWindow(d_, Xid(w));
    Settle();
  }
  // A plain window above everything, filled with one colour.
  Window Cover(int x, int y, int width, int height, unsigned long pixel) {
    XSetWindowAttributes attrs{};
    attrs.background_pixel = pixel;
    attrs.override_redirect = True;
    const Window w = XCreateWindow(d_, DefaultRootWindow(d_), x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWBackPixel | CWOverrideRedirect, &attrs);
    XMapRaised(d_, w);
    Settle();
    return w;
  }
  void Destroy(Window w) {
    XDestroyWindow(d_, w);
    Settle();
  }

 private:
  static Window Xid(WindowHandle w) { return static_cast<Window>(w & 0xFFFFFFFFu); }
  void Settle() {
    XSync(d_, False);
    std::this_thread::sleep_for(150ms);  // let gamesim repaint what was exposed
  }
  Display* d_;
};

TEST(CaptureBlockX11, OffScreenUnmappedCoveredAndClosedReadTheSameBothWays) {
  // 800x600: the read-out's probes span client columns 723 to 792, rows 328
  // to 337.
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", "800x600", "--pos", "14602,5579"}));
  Differential diff;
  ASSERT_EQ(test::CaptureUntil(diff.single(), "14602,5579"), "14602,5579");
  const WindowHandle game = diff.single().GameWindow;
  Mover mover;
  const int w = mover.ScreenWidth();
  const int h = mover.ScreenHeight();

  // Partly off each edge (the read-out cut through), then wholly off.
  struct Place {
    const char* name;
    int x, y;
  };
  const Place places[] = {
      {"left", -750, 100}, {"right", w - 760, 100}, {"top", 100, -333}, {"bottom", 100, h - 333},
      {"top left corner", -750, -333}, {"bottom right corner", w - 760, h - 333}, {"far off", w + 50, 100},
  };
  for (const Place& place : places) {
    mover.Move(game, place.x, place.y);
    diff.Check(std::string("off the ") + place.name);
    if (std::string(place.name) != "far off") {
      EXPECT_GT(diff.last.invalid, 0) << place.name << ": part of the rectangle is off the screen";
      EXPECT_LT(diff.last.invalid, diff.last.total) << place.name << ": part of it is on the screen";
    } else {
      EXPECT_EQ(diff.last.invalid, diff.last.total);
    }
  }
  mover.Move(game, 20, 20);
  EXPECT_EQ(diff.Check("back on the screen"), "14602,5579");

  // Unmapped, as a window manager does to a minimised window.
  mover.Unmap(game);
  EXPECT_EQ(diff.Check("unmapped"), "");
  EXPECT_EQ(diff.last.invalid, diff.last.total);
  mover.Map(game);
  EXPECT_EQ(test::CaptureUntil(diff.single(), "14602,5579"), "14602,5579");

  // Covered: white over the first cells, then black over all of them.
  const Window white = mover.Cover(20 + 700, 20 + 320, 40, 30, 0xFFFFFF);
  diff.Check("half covered in white");
  mover.Destroy(white);
  const Window black = mover.Cover(20 + 700, 20 + 320, 120, 30, 0x000000);
  EXPECT_EQ(diff.Check("covered in black"), "");
  mover.Destroy(black);
  EXPECT_EQ(test::CaptureUntil(diff.single(), "14602,5579"), "14602,5579");

  // Closed while "Lock" holds its handle: both fail the same way.
  diff.controls().lock = true;
  diff.Check("locked");
  sim.Stop();
  diff.Check("closed under Lock");
  EXPECT_EQ(diff.controls().failures.size(), 2u) << "both captures of the closed window failed";
  PixelBlock copy;
  EXPECT_FALSE(diff.source().ReadBlock(0, {0, 0, 4, 4}, copy)) << "no context, no copy";
}

TEST(CaptureBlockX11, TheNullHandleCopiesTheScreen) {
  // No game window: both captures read the screen's top-left corner (the
  // server's black and white root pattern).
  Differential diff;
  diff.Check("screen corner");
  EXPECT_EQ(diff.single().GameWindow, 0u);
  EXPECT_EQ(diff.last.invalid, 0);
}

}  // namespace
}  // namespace crewmap::reader
