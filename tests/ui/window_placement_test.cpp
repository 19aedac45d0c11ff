// Where our windows first open, as a table over screens, game sizes and game
// places: never over the read-out, on the screen, beside the game when there
// is room. Plain arithmetic, no window.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "reader/glyph.h"
#include "reader/origin.h"
#include "reader/readout_area.h"
#include "reader/readout_finder.h"
#include "reader/whole_glyphs.h"
#include "ui/remembered_place.h"

namespace crewmap::ui {
namespace {

using platform::PixelRect;
using platform::WindowRect;

std::string Describe(const PixelRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

bool Contains(const PixelRect& outer, const PixelRect& inner) {
  return inner.left >= outer.left && inner.top >= outer.top &&
         inner.left + inner.width <= outer.left + outer.width && inner.top + inner.height <= outer.top + outer.height;
}

// Fault caught: the screen rectangle given for the read-out misses where the
// reader really looks (wrong row, frame offset forgotten or counted once
// too often), so a window placed clear of it still covers the read-out.
TEST(ReadoutOnScreen, HoldsTheProbedPixelsForEveryRowAndFrame) {
  const struct {
    int clientWidth, clientHeight;
  } clients[] = {{800, 600}, {1024, 768}, {1152, 864}, {1280, 960}, {1100, 900}, {1280, 600}, {640, 480},
                 {1366, 768}, {1920, 1080}};
  const struct {
    int left, top, right, bottom;
  } frames[] = {{0, 0, 0, 0}, {3, 26, 3, 3}, {8, 31, 8, 8}, {12, 46, 12, 12}, {24, 70, 24, 24}};
  for (const auto& c : clients)
    for (const auto& f : frames)
      for (const int at : {0, 300, -40}) {
        const WindowRect outer{at, at, at + f.left + c.clientWidth + f.right, at + f.top + c.clientHeight + f.bottom};
        const reader::ReadoutOrigin origin =
            reader::OriginForSize(outer.right - outer.left, outer.bottom - outer.top);
        PixelRect probed = reader::ProbeArea(origin.x, origin.y, reader::kCellCount, reader::kCellPitch);
        probed.left += at + f.left;
        probed.top += at + f.top;
        const PixelRect box = reader::ReadoutOnScreen(outer);
        EXPECT_TRUE(Contains(box, probed)) << c.clientWidth << "x" << c.clientHeight << " frame " << f.left << "/"
                                           << f.top << " at " << at << ": " << Describe(box) << " misses "
                                           << Describe(probed);
        // Small enough that a window can sit near it.
        EXPECT_LE(box.width, 72 + 2 + reader::kMaxFrameLeft + 8);
        EXPECT_LE(box.height, 16 + reader::kMaxFrameTop);
        // And where the game draws it at other sizes, from the client's corner.
        PixelRect corner = reader::WholeGlyphArea(*reader::CornerOrigin(c.clientWidth, c.clientHeight));
        corner.left += at + f.left;
        corner.top += at + f.top;
        EXPECT_TRUE(Contains(reader::CornerReadoutOnScreen(outer), corner)) << c.clientWidth << " frame " << f.left;
      }
  EXPECT_EQ(reader::ReadoutOnScreen(WindowRect{5, 5, 5, 90}).width, 0) << "an empty window has no read-out";
}

// Fault caught: a window opens over the read-out (the position then stays
// empty until the user moves it), off the screen, or far from the game when
// there is room beside it.
TEST(PlaceWindow, NeverOverTheReadoutAlwaysOnTheScreenBesideTheGameWhenThereIsRoom) {
  const PixelRect screens[] = {{0, 0, 1024, 768}, {0, 0, 1280, 1024}, {0, 0, 1920, 1040}, {0, 0, 2560, 1400},
                               {1920, 0, 1920, 1080}};
  const struct {
    int width, height;
  } windows[] = {{289 + 16, 224 + 39}, {366 + 16, 222 + 39}, {241 + 16, 50 + 39}, {124, 118}};
  const struct {
    int width, height;
  } games[] = {{816, 639}, {1040, 807}, {1168, 903}, {1296, 999}, {806, 629}};
  int beside = 0;
  for (const PixelRect& screen : screens)
    for (const auto& w : windows)
      for (const auto& g : games)
        for (const bool atRight : {false, true}) {
          if (g.width > screen.width || g.height > screen.height) continue;
          PlacementRequest request;
          request.width = w.width;
          request.height = w.height;
          request.screen = screen;
          const int left = atRight ? screen.left + screen.width - g.width : screen.left;
          request.game = WindowRect{left, screen.top, left + g.width, screen.top + g.height};
          const platform::PixelPoint at = PlaceWindow(request);
          const PixelRect placed{at.x, at.y, w.width, w.height};
          const std::string where = "screen " + Describe(screen) + ", window " + std::to_string(w.width) + "x" +
                                    std::to_string(w.height) + ", game " + std::to_string(g.width) + "x" +
                                    std::to_string(g.height) + (atRight ? " at the right" : " at the left");
          EXPECT_FALSE(Intersects(placed, reader::ReadoutOnScreen(*request.game))) << where << ": " << Describe(placed);
          EXPECT_TRUE(Contains(screen, placed)) << where << ": " << Describe(placed);
          const bool room = screen.width - g.width >= w.width + 16;
          if (room) {
            // Level with the game's top, on the side that has the room.
            EXPECT_EQ(at.y, screen.top) << where;
            EXPECT_TRUE(atRight ? at.x + w.width <= request.game->left : at.x >= request.game->right) << where;
            ++beside;
          }
        }
  EXPECT_GT(beside, 20);

  // No room on any side, and the read-out of a small game (at its client's
  // corner) lies under the screen's top-right and top-left corners.
  PlacementRequest tight;
  tight.screen = {0, 0, 800, 600};
  tight.width = 382;
  tight.height = 261;
  tight.game = WindowRect{330, 20, 830, 580};
  const platform::PixelPoint at = PlaceWindow(tight);
  const PixelRect placed{at.x, at.y, tight.width, tight.height};
  EXPECT_FALSE(Intersects(placed, reader::ReadoutOnScreen(*tight.game))) << Describe(placed);
  EXPECT_TRUE(Contains(tight.screen, placed)) << Describe(placed);

  // A maximised game, its frame past the screen's edges: no side has room,
  // and the window keeps off the game's minimise, maximise and close buttons
  // (on Windows the rightmost 138 x 31 pixels of the screen's top).
  tight.screen = {0, 0, 1920, 1040};
  tight.game = WindowRect{-8, -8, 1928, 1048};
  const platform::PixelPoint p = PlaceWindow(tight);
  const PixelRect window{p.x, p.y, tight.width, tight.height};
  EXPECT_FALSE(Intersects(window, {1920 - 138, 0, 138, 31})) << Describe(window);
  EXPECT_FALSE(Intersects(window, reader::ReadoutOnScreen(*tight.game))) << Describe(window);
  EXPECT_TRUE(Contains(tight.screen, window)) << Describe(window);
}

// Faults caught: the overlay brought back off every screen after the screens
// changed (a second monitor gone, a lower resolution), or moved although it
// lay wholly on one; the remembered place lost or doubled when written back
// with other lines.
TEST(RememberedPlace, ComesBackWhereItWasLeftAndOnAScreen) {
  const std::vector<PixelRect> two = {{0, 0, 1920, 1040}, {1920, 0, 1280, 984}};
  const struct {
    PixelRect window;
    int x, y;
  } cases[] = {
      {{603, 438, 124, 118}, 603, 438},     // on the first screen
      {{2500, 900, 124, 118}, 2500, 866},   // past the second's bottom
      {{1900, 100, 124, 118}, 1920, 100},   // across both: onto the one it covers most
      {{5000, -300, 124, 118}, 1796, 0},    // off both: onto the first
      {{-21, -2, 124, 118}, 0, 0},          // dragged past the top-left
  };
  for (const auto& c : cases) {
    const platform::PixelPoint at = KeepOnScreens(c.window, two);
    EXPECT_EQ(at.x, c.x) << Describe(c.window);
    EXPECT_EQ(at.y, c.y) << Describe(c.window);
  }
  const std::string text = WithPlace("main=1,2\nnavi=x,y\nnavigation=3,4\n", "navi", {-21, 438});
  EXPECT_EQ(text, "main=1,2\nnavi=-21,438\nnavigation=3,4\n");
  EXPECT_EQ(FindPlace(text, "navi")->x, -21);
  EXPECT_FALSE(FindPlace("navi=x,y\nnavigation=3,4", "navi"));
}

// Fault caught: without a game, a window opens at the screen's top-left where
// the game will sit (or over where its read-out would be once it starts).
TEST(PlaceWindow, WithoutTheGameKeepsClearOfWhereAGameAtTheTopLeftReadsInEverySize) {
  for (const PixelRect screen : {PixelRect{0, 0, 1024, 768}, PixelRect{0, 0, 1366, 728}, PixelRect{0, 0, 1920, 1040}}) {
    PlacementRequest request;
    request.width = 305;
    request.height = 263;
    request.screen = screen;
    const platform::PixelPoint at = PlaceWindow(request);
    const PixelRect placed{at.x, at.y, request.width, request.height};
    EXPECT_TRUE(Contains(screen, placed)) << Describe(screen);
    EXPECT_GE(at.x, screen.left + screen.width / 2) << "away from the top-left on " << Describe(screen);
    for (const auto& g : {WindowRect{0, 0, 816, 639}, WindowRect{0, 0, 1040, 807}, WindowRect{0, 0, 1168, 903}}) {
      if (g.right > screen.width || g.bottom > screen.height + 40) continue;
      EXPECT_FALSE(Intersects(placed, reader::ReadoutOnScreen(g))) << Describe(screen) << " " << g.right;
    }
  }
}

// Fault caught: the second window of ours (the map) opens on top of the first
// (the main window) beside the game, or an overlay with a place of its own is
// moved although that place is clear, or kept although it covers the read-out.
TEST(PlaceWindow, OurWindowsDoNotStackAndADesignedPlaceIsKeptOnlyWhenClear) {
  PlacementRequest request;
  request.screen = {0, 0, 1920, 1040};
  request.game = WindowRect{0, 0, 1040, 807};
  request.width = 305;
  request.height = 263;
  const platform::PixelPoint main = PlaceWindow(request);
  EXPECT_EQ(main.x, 1048);
  EXPECT_EQ(main.y, 0);
  request.occupied.push_back({main.x, main.y, 305, 263});
  request.width = 382;
  request.height = 261;
  const platform::PixelPoint map = PlaceWindow(request);
  EXPECT_FALSE(Intersects({map.x, map.y, 382, 261}, request.occupied[0])) << map.x << "," << map.y;
  EXPECT_GE(map.x, 1040);

  PlacementRequest overlay;
  overlay.screen = {0, 0, 1920, 1040};
  overlay.game = WindowRect{0, 0, 1040, 807};
  overlay.width = 124;
  overlay.height = 118;
  overlay.designed = PixelRect{603, 438, 124, 118};
  EXPECT_EQ(PlaceWindow(overlay).x, 603);
  EXPECT_EQ(PlaceWindow(overlay).y, 438);
  const PixelRect readout = reader::ReadoutOnScreen(*overlay.game);
  overlay.designed = PixelRect{readout.left - 20, readout.top - 20, 124, 118};
  const platform::PixelPoint moved = PlaceWindow(overlay);
  EXPECT_FALSE(Intersects({moved.x, moved.y, 124, 118}, readout)) << moved.x << "," << moved.y;

  // A second instance's main window one step further, not on the first's.
  request.occupied.clear();
  request.width = 305;
  request.height = 263;
  request.stagger = 32;
  EXPECT_EQ(PlaceWindow(request).x, main.x + 32);
}

// Fault caught: a game on another screen than the primary one placed with the
// primary's scale and origin; the overlay's place over the game taken in
// scaled units (at 150 % it opened away from the game); the read-out of a
// game drawn enlarged looked up by its enlarged size (another table row).
TEST(PlaceWindow, TheGamesScreenAndScaleDecideWhereItsWindowsGo) {
  const std::vector<ScreenScale> screens = {{{0, 0, 1920, 1080}, 1.0}, {{1920, -200, 3840, 2160}, 1.5}};
  const WindowRect device{2100, 100, 2100 + 1224, 100 + 958};  // 816 x 639 drawn at 150 %
  ASSERT_EQ(ScreenOf(device, screens), 1u);
  const WindowRect placed = ToPlacementPixels(device, screens[1]);  // 1920 + 180 / 1.5 ...
  EXPECT_EQ(Describe({placed.left, placed.top, placed.right, placed.bottom}), "2040,0 2856x639");
  for (const double scale : {1.0, 1.5}) {
    PlacementRequest overlay;
    overlay.screen = {0, 0, 2560, 1400};
    overlay.game = WindowRect{100, 50, 100 + static_cast<int>(816 * scale), 50 + static_cast<int>(639 * scale)};
    overlay.gameScale = scale;
    overlay.width = 124;
    overlay.height = 118;
    overlay.designedOverGame = platform::PixelPoint{603, 438};
    const platform::PixelPoint at = PlaceWindow(overlay);
    EXPECT_EQ(at.x, 100 + std::lround(603 * scale)) << scale;
    EXPECT_EQ(at.y, 50 + std::lround(438 * scale)) << scale;
    const reader::ReadoutOrigin origin = reader::OriginForSize(816, 639);
    const PixelRect p = reader::ProbeArea(origin.x, origin.y, reader::kCellCount, reader::kCellPitch);
    const PixelRect probed{100 + static_cast<int>((p.left + 8) * scale), 50 + static_cast<int>((p.top + 31) * scale),
                           static_cast<int>(p.width * scale), static_cast<int>(p.height * scale)};
    EXPECT_TRUE(Contains(ReadoutsToAvoid(overlay).at(0), probed)) << scale << ": " << Describe(probed);
  }
}

}  // namespace
}  // namespace crewmap::ui
