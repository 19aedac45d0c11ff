#include "ui/window_placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "reader/readout_area.h"

namespace crewmap::ui {
namespace {

using platform::PixelPoint;
using platform::PixelRect;

// Space left between our window and the game's frame or another window.
constexpr int kGap = 8;

// A frame around a client area of each size in the read-out table, as a
// game at the screen's top-left would have it: thin borders and a title bar.
struct GameSize {
  int width;
  int height;
};
constexpr GameSize kGameSizes[] = {{800, 600}, {1024, 768}, {1152, 864}, {1280, 960}};
constexpr int kTypicalBorder = 8;
constexpr int kTypicalTitle = 31;
// The game's own minimise, maximise and close buttons at the right end of
// its title bar (138 x 31 on Windows 10 and 11, its frame included), with
// room to spare for other frames: a window of ours never opens over them.
constexpr int kCaptionButtonsWidth = 160;
constexpr int kCaptionButtonsHeight = 40;

bool Inside(const PixelRect& inner, const PixelRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top &&
         std::int64_t{inner.left} + inner.width <= std::int64_t{outer.left} + outer.width &&
         std::int64_t{inner.top} + inner.height <= std::int64_t{outer.top} + outer.height;
}

// `v` pixels of the game's own in placement pixels, `scale` to one.
std::int32_t Scaled(double v, double scale) { return static_cast<std::int32_t>(std::lround(v * scale)); }

double GameScale(const PlacementRequest& request) { return request.gameScale > 0 ? request.gameScale : 1.0; }

bool ClearOf(const PixelRect& place, const std::vector<PixelRect>& rects) {
  return std::none_of(rects.begin(), rects.end(), [&place](const PixelRect& r) { return Intersects(place, r); });
}

}  // namespace

bool Intersects(const PixelRect& a, const PixelRect& b) {
  if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0) return false;
  return std::int64_t{a.left} < std::int64_t{b.left} + b.width && std::int64_t{b.left} < std::int64_t{a.left} + a.width &&
         std::int64_t{a.top} < std::int64_t{b.top} + b.height && std::int64_t{b.top} < std::int64_t{a.top} + a.height;
}

std::size_t ScreenOf(const platform::WindowRect& device, const std::vector<ScreenScale>& screens) {
  const std::int64_t x = (std::int64_t{device.left} + device.right) / 2;
  const std::int64_t y = (std::int64_t{device.top} + device.bottom) / 2;
  for (std::size_t i = 0; i < screens.size(); ++i) {
    const PixelRect& s = screens[i].device;
    if (x >= s.left && x < std::int64_t{s.left} + s.width && y >= s.top && y < std::int64_t{s.top} + s.height)
      return i;
  }
  return 0;
}

platform::WindowRect ToPlacementPixels(const platform::WindowRect& device, const ScreenScale& screen) {
  const double ratio = screen.ratio > 0 ? screen.ratio : 1.0;
  const auto map = [ratio](std::int32_t v, std::int32_t origin, bool up) {
    const double s = origin + (static_cast<double>(v) - origin) / ratio;
    return static_cast<std::int32_t>(up ? std::ceil(s) : std::floor(s));
  };
  return {map(device.left, screen.device.left, false), map(device.top, screen.device.top, false),
          map(device.right, screen.device.left, true), map(device.bottom, screen.device.top, true)};
}

std::vector<PixelRect> ReadoutsToAvoid(const PlacementRequest& request) {
  std::vector<PixelRect> readouts;
  if (request.game) {
    const platform::WindowRect& g = *request.game;
    const double scale = GameScale(request);
    // The origin table's place and the corner's, where the game draws it at
    // other sizes.
    if (scale == 1.0) {
      for (const PixelRect& r : {reader::ReadoutOnScreen(g), reader::CornerReadoutOnScreen(g)})
        if (r.width > 0) readouts.push_back(r);
      return readouts;
    }
    // Found in the game's own size, then enlarged as the system enlarges it
    // (a pixel more each way for the rounding).
    const platform::WindowRect own{0, 0, Scaled(static_cast<double>(g.right) - g.left, 1 / scale),
                                   Scaled(static_cast<double>(g.bottom) - g.top, 1 / scale)};
    for (const PixelRect& r : {reader::ReadoutOnScreen(own), reader::CornerReadoutOnScreen(own)})
      if (r.width > 0)
        readouts.push_back({g.left + Scaled(r.left, scale) - 1, g.top + Scaled(r.top, scale) - 1,
                            Scaled(r.width, scale) + 2, Scaled(r.height, scale) + 2});
    return readouts;
  }
  for (const GameSize& size : kGameSizes) {
    const platform::WindowRect outer{request.screen.left, request.screen.top,
                                     request.screen.left + size.width + 2 * kTypicalBorder,
                                     request.screen.top + size.height + kTypicalTitle + kTypicalBorder};
    readouts.push_back(reader::ReadoutOnScreen(outer));
  }
  return readouts;
}

PixelPoint PlaceWindow(const PlacementRequest& request) {
  const int w = request.width;
  const int h = request.height;
  const PixelRect& screen = request.screen;
  std::vector<PixelRect> keepClear = ReadoutsToAvoid(request);
  if (request.game)
    keepClear.push_back({request.game->right - kCaptionButtonsWidth, request.game->top, kCaptionButtonsWidth,
                        kCaptionButtonsHeight});

  std::vector<PixelRect> candidates;
  if (request.game && request.designedOverGame) {
    const double scale = GameScale(request);
    candidates.push_back({request.game->left + Scaled(request.designedOverGame->x, scale),
                          request.game->top + Scaled(request.designedOverGame->y, scale), w, h});
  }
  if (request.designed) candidates.push_back({request.designed->left, request.designed->top, w, h});
  if (request.game) {
    const platform::WindowRect& g = *request.game;
    // Along each side of the game: level with its top (or left) edge, then
    // after each of our windows already beside it.
    std::vector<int> tops{g.top};
    std::vector<int> lefts{g.left};
    for (const PixelRect& o : request.occupied) {
      tops.push_back(o.top + o.height + kGap);
      lefts.push_back(o.left + o.width + kGap);
    }
    for (const int top : tops) candidates.push_back({g.right + kGap, std::max(top, screen.top), w, h});
    for (const int top : tops) candidates.push_back({g.left - kGap - w, std::max(top, screen.top), w, h});
    for (const int left : lefts) candidates.push_back({std::max(left, screen.left), g.bottom + kGap, w, h});
    for (const int left : lefts) candidates.push_back({std::max(left, screen.left), g.top - kGap - h, w, h});
  }
  const int right = screen.left + screen.width - w - kGap;
  const int bottom = screen.top + screen.height - h - kGap;
  const int left = screen.left + kGap;
  const int top = screen.top + kGap;
  const std::size_t corners = candidates.size();
  candidates.push_back({right, top, w, h});
  candidates.push_back({left, top, w, h});
  candidates.push_back({left, bottom, w, h});
  candidates.push_back({right, bottom, w, h});

  // The designed place counts only where it lies wholly on the screen.
  const auto usable = [&](const PixelRect& c, std::size_t index) {
    return (index >= corners || Inside(c, screen)) && ClearOf(c, keepClear);
  };
  const PixelRect chosen = [&] {
    for (std::size_t i = 0; i < candidates.size(); ++i)
      if (usable(candidates[i], i) && ClearOf(candidates[i], request.occupied)) return candidates[i];
    for (std::size_t i = 0; i < candidates.size(); ++i)
      if (usable(candidates[i], i)) return candidates[i];
    // A screen too small to keep clear of the read-out: the top-right corner.
    return candidates[corners];
  }();
  const int s = request.stagger;
  if (s != 0)
    for (const auto& [dx, dy] : {std::pair{s, s}, std::pair{-s, s}, std::pair{s, -s}, std::pair{-s, -s}}) {
      const PixelRect moved{chosen.left + dx, chosen.top + dy, w, h};
      if (Inside(moved, screen) && ClearOf(moved, keepClear)) return {moved.left, moved.top};
    }
  return {chosen.left, chosen.top};
}

}  // namespace crewmap::ui
