// The X11 window source against windows made here with Xlib on a private Xvfb:
// lookup by title, outer rectangles (with and without a frame), exact colours,
// and reads that must fail quietly.
#include "platform/x11/x11_window_source.h"

// GoogleTest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <thread>

#include "support/xvfb_server.h"

namespace crewmap::platform {
namespace {

constexpr const char* kGameTitle = "大航海時代 Online";

// A client of its own that creates, paints and destroys windows.
class Painter {
 public:
  Painter() : display_(XOpenDisplay(nullptr)) {}
  ~Painter() {
    if (display_) XCloseDisplay(display_);
  }
  Display* d() const { return display_; }

  // A top-level (or child of `parent`) window with a solid background.
  Window Create(int x, int y, int w, int h, unsigned long background = 0x3C70A0, Window parent = 0) {
    XSetWindowAttributes attrs{};
    attrs.background_pixel = background;
    attrs.override_redirect = False;
    const Window win = XCreateWindow(display_, parent ? parent : DefaultRootWindow(display_), x, y,
                                     static_cast<unsigned>(w), static_cast<unsigned>(h), 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWBackPixel, &attrs);
    return win;
  }
  void SetUtf8Title(Window win, const std::string& title) {
    XChangeProperty(display_, win, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  }
  void SetLatin1WmName(Window win, const std::string& latin1) {
    XChangeProperty(display_, win, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
  }
  void MapAndWait(Window win) {
    XMapWindow(display_, win);
    XSync(display_, False);
    for (int i = 0; i < 200; ++i) {
      XWindowAttributes a{};
      XGetWindowAttributes(display_, win, &a);
      if (a.map_state == IsViewable) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void Fill(Window win, int x, int y, int w, int h, unsigned long pixel) {
    GC gc = XCreateGC(display_, win, 0, nullptr);
    XSetForeground(display_, gc, pixel);
    XFillRectangle(display_, win, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XFreeGC(display_, gc);
    XSync(display_, False);
  }
  void Destroy(Window win) {
    XDestroyWindow(display_, win);
    XSync(display_, False);
  }

 private:
  Display* display_;
};

// The X window id inside a handle from a lookup.
Window XidOf(WindowHandle handle) { return static_cast<Window>(handle & 0xFFFFFFFFu); }

// Packs 8-bit components into a pixel of the default 24-bit TrueColor visual.
unsigned long PixelOf(Display* d, unsigned r, unsigned g, unsigned b) {
  Visual* v = DefaultVisual(d, DefaultScreen(d));
  auto put = [](unsigned long mask, unsigned value) {
    int shift = 0;
    while (!((mask >> shift) & 1u)) ++shift;
    return (static_cast<unsigned long>(value) << shift) & mask;
  };
  return put(v->red_mask, r) | put(v->green_mask, g) | put(v->blue_mask, b);
}

TEST(X11WindowSource, FindsTopLevelWindowsByExactUtf8Title) {
  Painter p;
  ASSERT_NE(p.d(), nullptr);
  const Window game = p.Create(10, 10, 300, 200);
  p.SetUtf8Title(game, kGameTitle);
  p.SetLatin1WmName(game, "wrong fallback");  // _NET_WM_NAME wins
  const Window other = p.Create(20, 20, 100, 100);
  p.SetUtf8Title(other, std::string(kGameTitle) + " ");
  const Window latin = p.Create(30, 30, 100, 100);
  p.SetLatin1WmName(latin, "Caf\xe9");
  p.MapAndWait(game);
  p.MapAndWait(other);
  p.MapAndWait(latin);

  X11WindowSource source;
  ASSERT_TRUE(source.Connected());
  EXPECT_EQ(XidOf(source.FindWindowByTitle(kGameTitle)), game);
  EXPECT_EQ(source.FindWindowByTitle(kGameTitle), source.FindWindowByTitle(kGameTitle)) << "one handle per window";
  EXPECT_EQ(XidOf(source.FindWindowByTitle(std::string(kGameTitle) + " ")), other);
  EXPECT_EQ(XidOf(source.FindWindowByTitle("Café")), latin);  // WM_NAME in Latin-1, asked in UTF-8
  EXPECT_EQ(source.FindWindowByTitle("wrong fallback"), 0u);
  EXPECT_EQ(source.FindWindowByTitle("大航海時代"), 0u);
  EXPECT_EQ(source.FindWindowByTitle(""), 0u);
  p.Destroy(game);
  EXPECT_EQ(source.FindWindowByTitle(kGameTitle), 0u);
  p.Destroy(other);
  p.Destroy(latin);
}

TEST(X11WindowSource, OuterRectangleOfAPlainWindow) {
  Painter p;
  const Window win = p.Create(30, 40, 200, 100);
  p.SetUtf8Title(win, "plain rect");
  p.MapAndWait(win);
  X11WindowSource source;
  WindowRect rect;
  ASSERT_TRUE(source.GetWindowRect(win, rect));
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right, 230);
  EXPECT_EQ(rect.bottom, 140);
  p.Destroy(win);
}

TEST(X11WindowSource, ClientInsideAWindowManagerFrame) {
  // What a reparenting window manager makes: a frame below the root with the
  // client inside it, offset by the border and title bar.
  Painter p;
  const Window frame = p.Create(100, 50, 820, 640, 0x404040);
  const Window client = p.Create(6, 34, 808, 600, 0x3C70A0, frame);
  p.SetUtf8Title(client, kGameTitle);
  p.MapAndWait(frame);
  p.MapAndWait(client);
  p.Fill(client, 0, 0, 1, 1, PixelOf(p.d(), 255, 255, 255));

  X11WindowSource source;
  const WindowHandle found = source.FindWindowByTitle(kGameTitle);
  EXPECT_EQ(XidOf(found), client);
  WindowRect rect;
  ASSERT_TRUE(source.GetWindowRect(found, rect));
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.right, 920);
  EXPECT_EQ(rect.bottom, 690);
  // Pixels are read in client coordinates, not the frame's.
  const DeviceContext dc = source.GetDC(found);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(source.GetPixel(dc, 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(source.GetPixel(dc, 1, 0), 0x00A0703Cu);
  source.ReleaseDC(found, dc);
  p.Destroy(frame);
}

TEST(X11WindowSource, FrameExtentsOfANonReparentingManagerCount) {
  Painter p;
  const Window win = p.Create(50, 60, 400, 300);
  const long extents[4] = {2, 3, 20, 4};  // left, right, top, bottom
  XChangeProperty(p.d(), win, XInternAtom(p.d(), "_NET_FRAME_EXTENTS", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(extents), 4);
  p.MapAndWait(win);
  X11WindowSource source;
  WindowRect rect;
  ASSERT_TRUE(source.GetWindowRect(win, rect));
  EXPECT_EQ(rect.left, 48);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right, 453);
  EXPECT_EQ(rect.bottom, 364);
  p.Destroy(win);
}

TEST(X11WindowSource, PixelColoursAreExactAndLaidOutBGR) {
  Painter p;
  const Window win = p.Create(0, 0, 64, 16);
  p.SetUtf8Title(win, "colours");
  p.MapAndWait(win);
  struct Swatch {
    unsigned r, g, b;
    std::uint32_t expected;
  };
  const Swatch swatches[] = {
      {255, 255, 255, 0x00FFFFFFu}, {0, 0, 0, 0x00000000u},     {254, 255, 255, 0x00FFFFFEu},
      {1, 0, 0, 0x00000001u},       {0x12, 0x34, 0x56, 0x00563412u}, {255, 0, 0, 0x000000FFu},
      {0, 0, 255, 0x00FF0000u},     {0, 255, 0, 0x0000FF00u},
  };
  for (int i = 0; i < 8; ++i) {
    const Swatch& s = swatches[i];
    p.Fill(win, i * 8, 0, 8, 16, PixelOf(p.d(), s.r, s.g, s.b));
  }
  X11WindowSource source;
  const DeviceContext dc = source.GetDC(win);
  ASSERT_NE(dc, 0u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(source.GetPixel(dc, i * 8, 0), swatches[i].expected) << "swatch " << i;
    EXPECT_EQ(source.GetPixel(dc, i * 8 + 7, 15), swatches[i].expected) << "swatch " << i;
  }
  source.ReleaseDC(win, dc);
  EXPECT_EQ(source.GetPixel(dc, 0, 0), kInvalidColor) << "a released context reads nothing";
  p.Destroy(win);
}

TEST(X11WindowSource, ReadsOutsideTheWindowAreInvalid) {
  Painter p;
  const Window win = p.Create(100, 100, 50, 40, PixelOf(p.d(), 255, 255, 255));
  p.SetUtf8Title(win, "bounds");
  p.MapAndWait(win);
  X11WindowSource source;
  const DeviceContext dc = source.GetDC(win);
  ASSERT_NE(dc, 0u);
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(source.GetPixel(dc, 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(source.GetPixel(dc, 49, 39), 0x00FFFFFFu);
  const std::pair<std::int32_t, std::int32_t> outside[] = {
      {-1, 0}, {0, -1}, {50, 0}, {0, 40}, {kMax, 0}, {0, kMax}, {kMin, kMin},
      {65536, 0}, {0, 65536 + 5}, {65536 + 10, 65536 + 10},  // would wrap to inside on the 16-bit wire
  };
  for (const auto& [x, y] : outside) EXPECT_EQ(source.GetPixel(dc, x, y), kInvalidColor) << x << "," << y;
  source.ReleaseDC(win, dc);
  p.Destroy(win);
}

// A block read gives at every pixel what a single read gives, across the
// window's edges and for a child that its parent clips; large enough that
// the copy of the window goes through shared memory.
TEST(X11WindowSource, ABlockReadGivesWhatSingleReadsGiveOrDeclines) {
  Painter p;
  const Window parent = p.Create(100, 100, 100, 60, PixelOf(p.d(), 255, 255, 255));
  p.SetUtf8Title(parent, "block parent");
  const Window child = p.Create(80, 10, 50, 20, PixelOf(p.d(), 0x12, 0x34, 0x56), parent);  // sticks out
  p.MapAndWait(parent);
  p.MapAndWait(child);
  p.Fill(parent, 0, 0, 3, 3, PixelOf(p.d(), 0, 0, 0));
  X11WindowSource source;
  const auto sameAsSingleReads = [&source](DeviceContext dc, const PixelRect& area, int& invalid) {
    PixelBlock block;
    if (!source.ReadBlock(dc, area, block)) return false;
    invalid = 0;
    for (std::int32_t y = area.top; y < area.top + area.height; ++y)
      for (std::int32_t x = area.left; x < area.left + area.width; ++x) {
        const std::uint32_t single = source.GetPixel(dc, x, y);
        EXPECT_EQ(block.At(x, y), single) << x << "," << y;
        if (single == kInvalidColor) ++invalid;
      }
    return true;
  };
  int invalid = 0;
  const DeviceContext parentDc = source.GetDC(parent);
  const std::uint64_t sharedBefore = source.SharedCopies();
  ASSERT_TRUE(sameAsSingleReads(parentDc, {-3, -3, 106, 66}, invalid));
  EXPECT_EQ(invalid, 106 * 66 - 100 * 60) << "the frame around the window reads invalid";
  ASSERT_TRUE(sameAsSingleReads(parentDc, {0, 0, 100, 60}, invalid));
  // Catches a shared-memory path that fails and quietly gives way to the socket.
  EXPECT_EQ(source.SharedCopies(), sharedBefore + 2) << "each copy of the whole window went through shared memory";
  ASSERT_TRUE(sameAsSingleReads(parentDc, {0, 0, 4, 4}, invalid));
  EXPECT_EQ(invalid, 0);
  for (const PixelRect outside : {PixelRect{-10, -10, 5, 5}, PixelRect{65536, 0, 4, 4}}) {
    ASSERT_TRUE(sameAsSingleReads(parentDc, outside, invalid));
    EXPECT_EQ(invalid, outside.width * outside.height) << "beyond the 16-bit wire coordinates too";
  }
  source.ReleaseDC(parent, parentDc);

  const DeviceContext childDc = source.GetDC(child);
  ASSERT_TRUE(sameAsSingleReads(childDc, {-1, 0, 52, 20}, invalid));
  EXPECT_EQ(invalid, 2 * 20) << "only the columns beside the child";
  source.ReleaseDC(child, childDc);
  p.Destroy(parent);
}

TEST(X11WindowSource, VanishedAndUnmappedWindowsFailQuietly) {
  Painter p;
  const Window win = p.Create(10, 10, 80, 60, PixelOf(p.d(), 255, 255, 255));
  p.SetUtf8Title(win, "vanishing");
  p.MapAndWait(win);
  X11WindowSource source;
  const DeviceContext dc = source.GetDC(win);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(source.GetPixel(dc, 5, 5), 0x00FFFFFFu);

  XUnmapWindow(p.d(), win);
  XSync(p.d(), False);
  EXPECT_EQ(source.GetPixel(dc, 5, 5), kInvalidColor) << "an unmapped window shows nothing";

  p.Destroy(win);
  EXPECT_EQ(source.GetPixel(dc, 5, 5), kInvalidColor);
  source.ReleaseDC(win, dc);
  EXPECT_EQ(source.GetDC(win), 0u);
  WindowRect rect{1, 2, 3, 4};
  EXPECT_FALSE(source.GetWindowRect(win, rect));
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.bottom, 4);
  // Handles that never existed, too.
  EXPECT_EQ(source.GetDC(0x7FFFFFF0u), 0u);
  EXPECT_FALSE(source.GetWindowRect(0x7FFFFFF0u, rect));
  EXPECT_EQ(source.GetPixel(12345, 0, 0), kInvalidColor);
  // Still connected and working after all those errors.
  EXPECT_NE(source.GetDC(0), 0u);
}

TEST(X11WindowSource, AHandleDiesWithItsWindowEvenWhenTheIdIsReused) {
  X11WindowSource source;
  WindowHandle held = 0;
  Window firstId = 0;
  {
    Painter first;  // a client of its own, so that its ids are freed with it
    firstId = first.Create(0, 0, 100, 80, PixelOf(first.d(), 255, 255, 255));
    first.SetUtf8Title(firstId, kGameTitle);
    first.MapAndWait(firstId);
    held = source.FindWindowByTitle(kGameTitle);
    ASSERT_EQ(XidOf(held), firstId);
  }
  // The next client is likely to be given the same window id.
  Painter second;
  const Window secondId = second.Create(0, 0, 100, 80, PixelOf(second.d(), 255, 255, 255));
  second.SetUtf8Title(secondId, kGameTitle);
  second.MapAndWait(secondId);
  EXPECT_EQ(source.GetDC(held), 0u) << "the held handle's window is gone";
  WindowRect rect{1, 2, 3, 4};
  EXPECT_FALSE(source.GetWindowRect(held, rect));
  EXPECT_EQ(rect.left, 1);
  const WindowHandle fresh = source.FindWindowByTitle(kGameTitle);
  EXPECT_EQ(XidOf(fresh), secondId);
  EXPECT_NE(fresh, held);
  const DeviceContext dc = source.GetDC(fresh);
  EXPECT_EQ(source.GetPixel(dc, 1, 1), 0x00FFFFFFu);
  source.ReleaseDC(fresh, dc);
  // A context opened before the window died reads nothing afterwards.
  const DeviceContext early = source.GetDC(fresh);
  second.Destroy(secondId);
  EXPECT_EQ(source.GetPixel(early, 1, 1), kInvalidColor);
  source.ReleaseDC(fresh, early);
  (void)firstId;
}

// Fault caught: a block read through a context whose window has died hands
// back the pixels of whatever window now carries the old id, where single
// reads through the same context read the invalid colour.
TEST(X11WindowSource, BlockAndSingleReadsThroughADeadContextReadNothingOnceTheIdIsReused) {
  X11WindowSource source;
  DeviceContext early = 0;
  WindowHandle held = 0;
  Window firstId = 0;
  {
    Painter first;  // its ids are freed when it disconnects
    firstId = first.Create(0, 0, 100, 80, PixelOf(first.d(), 255, 255, 255));
    first.SetUtf8Title(firstId, kGameTitle);
    first.MapAndWait(firstId);
    held = source.FindWindowByTitle(kGameTitle);
    ASSERT_EQ(XidOf(held), firstId);
    early = source.GetDC(held);
    ASSERT_NE(early, 0u);
    PixelBlock live;
    ASSERT_TRUE(source.ReadBlock(early, {0, 0, 8, 8}, live));
    ASSERT_EQ(live.At(1, 1), 0x00FFFFFFu);
  }
  // Clients that come next are likely to be given the same ids; try a few so
  // the reuse really happens.
  std::unique_ptr<Painter> next;
  Window reused = 0;
  for (int attempt = 0; attempt < 4 && reused != firstId; ++attempt) {
    next = std::make_unique<Painter>();
    reused = next->Create(0, 0, 100, 80, PixelOf(next->d(), 255, 255, 255));
  }
  ASSERT_EQ(reused, firstId) << "the server did not hand the id on; nothing to check";
  next->MapAndWait(reused);
  EXPECT_EQ(source.GetPixel(early, 1, 1), kInvalidColor);
  PixelBlock block;
  // Either the copy is refused (the caller then reads singly) or it reads
  // nothing, never the new window's pixels.
  if (source.ReadBlock(early, {0, 0, 8, 8}, block)) {
    for (std::int32_t y = 0; y < 8; ++y)
      for (std::int32_t x = 0; x < 8; ++x) EXPECT_EQ(block.At(x, y), kInvalidColor) << x << "," << y;
  }
  source.ReleaseDC(held, early);
}

TEST(X11WindowSource, NullHandleIsTheWholeScreen) {
  Painter p;
  const int width = DisplayWidth(p.d(), DefaultScreen(p.d()));
  const int height = DisplayHeight(p.d(), DefaultScreen(p.d()));
  X11WindowSource source;
  const DeviceContext dc = source.GetDC(0);
  ASSERT_NE(dc, 0u);
  EXPECT_NE(source.GetPixel(dc, 0, 0), kInvalidColor);
  EXPECT_NE(source.GetPixel(dc, width - 1, height - 1), kInvalidColor);
  EXPECT_EQ(source.GetPixel(dc, width, 0), kInvalidColor);
  EXPECT_EQ(source.GetPixel(dc, 0, height), kInvalidColor);
  source.ReleaseDC(0, dc);
  WindowRect rect{5, 6, 7, 8};
  EXPECT_FALSE(source.GetWindowRect(0, rect));
  EXPECT_EQ(rect.left, 5);
  EXPECT_EQ(rect.top, 6);
  EXPECT_EQ(rect.right, 7);
  EXPECT_EQ(rect.bottom, 8);
}

TEST(X11WindowSource, AServerThatGoesAwayDoesNotEndTheProgram) {
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  crewmap::test::XvfbServer doomed;
  ASSERT_TRUE(doomed.Start(640, 480));  // sets DISPLAY to the new server
  {
    X11WindowSource source;
    ASSERT_TRUE(source.Connected());
    const DeviceContext dc = source.GetDC(0);
    ASSERT_NE(dc, 0u);
    EXPECT_NE(source.GetPixel(dc, 0, 0), kInvalidColor);
    doomed.Stop();
    // Every call after the connection broke fails like one without a display.
    EXPECT_EQ(source.GetPixel(dc, 0, 0), kInvalidColor);
    EXPECT_EQ(source.FindWindowByTitle(kGameTitle), 0u);
    EXPECT_EQ(source.GetDC(0), 0u);
    WindowRect rect{1, 2, 3, 4};
    EXPECT_FALSE(source.GetWindowRect(0x200001, rect));
    EXPECT_EQ(rect.left, 1);
    source.ReleaseDC(0, dc);
  }
  setenv("DISPLAY", display.c_str(), 1);
}

TEST(X11WindowSource, WithoutADisplayEverythingFails) {
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  setenv("DISPLAY", ":65000", 1);  // no server there
  {
    X11WindowSource source;
    EXPECT_FALSE(source.Connected());
    EXPECT_EQ(source.FindWindowByTitle(kGameTitle), 0u);
    EXPECT_EQ(source.GetDC(0), 0u);
    WindowRect rect{1, 1, 1, 1};
    EXPECT_FALSE(source.GetWindowRect(1, rect));
    EXPECT_EQ(source.GetPixel(1, 0, 0), kInvalidColor);
    source.ReleaseDC(0, 1);
  }
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_NE(CreateSystemWindowSource(), nullptr);
}

}  // namespace
}  // namespace crewmap::platform
