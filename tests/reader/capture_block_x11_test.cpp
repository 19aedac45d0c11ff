// Block reads against single-pixel reads on a real X server: gamesim at every
// row of the origin table, moved partly off each edge of the screen,
// unmapped, covered, and closed under "Lock". The capture that copies the
// read-out's rectangle in one request must read exactly what the capture that
// asks pixel by pixel reads, and the copy must hold at every pixel of the
// rectangle what a single read of that pixel gives.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "gamesim/gamesim_process.h"
#include "gamesim_reading.h"
#include "platform/x11/x11_window_source.h"
#include "reader/block_differential.h"
#include "reader/validation.h"

namespace crewmap::reader {
namespace {

using namespace std::chrono_literals;
using platform::PixelBlock;
using platform::WindowHandle;
using test::RandomReadout;

TEST(CaptureBlockX11, RandomReadoutsAtEverySizeRowReadTheSameBothWays) {
  const char* sizes[] = {"800x600", "1024x768", "1152x864", "1280x960", "640x480", "1280x600", "799x1000"};
  std::mt19937 rng(20261207);
  gamesim::GameSimProcess sim;
  ASSERT_TRUE(sim.Start({"--still", "--size", sizes[0], "--pos", "1,1"}));
  platform::X11WindowSource source;
  test::Differential diff(source);
  int readouts = 0;
  int valid = 0;
  for (const char* size : sizes) {
    ASSERT_TRUE(sim.Command(std::string("size ") + size).has_value());
    for (int i = 0; i < 30; ++i, ++readouts) {
      const std::string drawn = RandomReadout(rng);
      ASSERT_TRUE(sim.Command("readout off") && diff.Gone()) << size;
      const auto ack = sim.Command(drawn);
      ASSERT_TRUE(ack.has_value()) << "gamesim stopped answering";
      ASSERT_EQ(ack->rfind("shown " + drawn, 0), 0u) << *ack;
      // Settle on what the reference path reads before comparing.
      int width = 0, height = 0;
      std::sscanf(size, "%dx%d", &width, &height);
      const std::string expected = test::ExpectedReading(drawn, width, height);
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
  platform::X11WindowSource source;
  test::Differential diff(source);
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
  EXPECT_EQ(diff.single().CapturePosition().state, CaptureState::Minimised);
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
  diff.controls.lock = true;
  diff.Check("locked");
  sim.Stop();
  diff.Check("closed under Lock");
  EXPECT_EQ(diff.controls.failures.size(), 2u) << "both captures of the closed window failed";
  PixelBlock copy;
  EXPECT_FALSE(source.ReadBlock(0, {0, 0, 4, 4}, copy)) << "no context, no copy";
}

TEST(CaptureBlockX11, TheNullHandleCopiesTheScreen) {
  // No game window: both captures read the screen's top-left corner (the
  // server's black and white root pattern).
  platform::X11WindowSource source;
  test::Differential diff(source);
  diff.Check("screen corner");
  EXPECT_EQ(diff.single().GameWindow, 0u);
  EXPECT_EQ(diff.last.invalid, 0);
}

}  // namespace
}  // namespace crewmap::reader
