#pragma once
// Where one of our windows first opens: never over the game's coordinate
// read-out, which the reader must see. Plain C++, in screen pixels.
#include <optional>
#include <vector>

#include "platform/window_source.h"

namespace crewmap::ui {

struct PlacementRequest {
  int width = 0;   // the window's size with its frame
  int height = 0;
  platform::PixelRect screen;                   // the usable part of the screen
  std::optional<platform::WindowRect> game;     // the game window's outer rectangle, when found
  std::optional<platform::PixelRect> designed;  // a place of the window's own, kept when it is clear
  std::vector<platform::PixelRect> occupied;    // our windows already open, avoided when possible
};

// The top-left corner of the window's frame.
//  - The window's own place, when it has one and it keeps clear of the
//    read-out and of the screen's edges.
//  - With the game found: beside it (right, left, below, above, in that
//    order; along each side also next to our windows already there), wholly
//    on the screen and clear of the read-out; when no side has room, the
//    first corner of the screen (top right, top left, bottom left, bottom
//    right) that is clear of the read-out.
//  - Without the game: the first such corner clear of where the read-out of
//    a game at the screen's top-left would be, in each size the game has.
// Places that also keep clear of our other windows come first.
platform::PixelPoint PlaceWindow(const PlacementRequest& request);

// The rectangles a window must not cover for the request: the found game's
// read-out, or without a game the read-outs of a game at the screen's
// top-left in every size of the read-out table.
std::vector<platform::PixelRect> ReadoutsToAvoid(const PlacementRequest& request);

bool Intersects(const platform::PixelRect& a, const platform::PixelRect& b);

}  // namespace crewmap::ui
