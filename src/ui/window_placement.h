#pragma once
// Where one of our windows first opens: never over the game's coordinate
// read-out, which the reader must see, nor over the buttons at the right
// end of the game's title bar. Plain C++, in screen pixels.
#include <optional>
#include <vector>

#include "platform/window_source.h"

namespace crewmap::ui {

struct PlacementRequest {
  int width = 0;   // the window's size with its frame
  int height = 0;
  platform::PixelRect screen;                   // the usable part of the screen
  std::optional<platform::WindowRect> game;     // the game window's outer rectangle, when found
  // Placement pixels per pixel of the game's own: above 1 where the system
  // draws a game that knows no display scaling enlarged. The read-out lies
  // where the game's own size puts it, enlarged as much.
  double gameScale = 1.0;
  std::optional<platform::PixelRect> designed;  // a place of the window's own, kept when it is clear
  // A place of the window's own over the game: from the game's top-left, in
  // the game's own pixels (so the same spot of the game at every scaling).
  // Taken before `designed` when the game is found.
  std::optional<platform::PixelPoint> designedOverGame;
  std::vector<platform::PixelRect> occupied;    // our windows already open, avoided when possible
  // Where another instance of the program has its windows at the places
  // computed here: this far right and down (or another diagonal where that
  // leaves the screen or covers the read-out), so the two do not coincide.
  int stagger = 0;
};

// A screen: its rectangle in the system's device pixels and its scale
// (device pixels per placement pixel). Windows are placed in
// device-independent pixels, in which each screen keeps its device top-left
// corner and has its size divided by its scale.
struct ScreenScale {
  platform::PixelRect device;
  double ratio = 1.0;
};

// The screen that holds the centre of `device` (device pixels); the first
// one (the primary screen) when none does.
std::size_t ScreenOf(const platform::WindowRect& device, const std::vector<ScreenScale>& screens);

// `device` in placement pixels of `screen`: its top-left rounded down, its
// bottom-right up, so that the result covers what the rectangle covers.
platform::WindowRect ToPlacementPixels(const platform::WindowRect& device, const ScreenScale& screen);

// The top-left corner of the window's frame.
//  - The window's own place (over the game, else on the screen), when it
//    has one and it keeps clear of the read-out and of the screen's edges.
//  - With the game found: beside it (right, left, below, above, in that
//    order; along each side also next to our windows already there), wholly
//    on the screen and clear of the read-out; when no side has room, the
//    first corner of the screen (top right, top left, bottom left, bottom
//    right) that is clear of the read-out.
//  - Without the game: the first such corner clear of where the read-out of
//    a game at the screen's top-left would be, in each size the game has.
// Places that also keep clear of our other windows come first; then the
// stagger, where it keeps the place usable.
platform::PixelPoint PlaceWindow(const PlacementRequest& request);

// The rectangles a window must not cover for the request: the found game's
// read-out, or without a game the read-outs of a game at the screen's
// top-left in every size of the read-out table.
std::vector<platform::PixelRect> ReadoutsToAvoid(const PlacementRequest& request);

bool Intersects(const platform::PixelRect& a, const platform::PixelRect& b);

}  // namespace crewmap::ui
