#pragma once
// The game's coordinate read-out as the substitute window draws it: its own
// copy of the game's digit font (white body, one-pixel black outline, no
// anti-aliasing) and the place of the read-out for each client size.
// Deliberately independent of the recognizer's code, so the two check each other.
#include <cstdint>
#include <string_view>
#include <vector>

namespace crewmap::gamesim_win32 {

struct ReadoutPixel {
  std::int32_t x = 0;  // client coordinates
  std::int32_t y = 0;
  bool white = false;  // false: outline black
};

struct ReadoutOrigin {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// The origin of the read-out in a client area of width x height: 78 pixels
// left of and 272 above its bottom-right corner, as the game anchors its
// interface at every size (never left of or above the client area).
ReadoutOrigin ReadoutOriginFor(std::int32_t clientWidth, std::int32_t clientHeight);

// Pixels of `text` (digits and commas; any other character leaves its cell
// blank) drawn in 6-pixel cells from `origin`: the black outline first, then
// the white bodies, so later entries win where they overlap.
std::vector<ReadoutPixel> RenderReadout(std::string_view text, ReadoutOrigin origin);

}  // namespace crewmap::gamesim_win32
