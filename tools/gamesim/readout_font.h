#pragma once
// The game's digit font as the game draws its coordinate read-out: a white
// body, a one-pixel black outline, no anti-aliasing, one glyph per 6-pixel cell.
#include <cstdint>
#include <string_view>
#include <vector>

namespace crewmap::gamesim {

inline constexpr int kCellWidth = 6;
inline constexpr int kCellHeight = 10;

enum class Ink : std::uint8_t { None, White, Black };

// The read-out of a text, as a grid that starts one pixel left of and above
// the first cell's origin (room for the outline). Unknown characters leave
// their cell blank.
struct ReadoutImage {
  int width = 0;
  int height = 0;
  std::vector<Ink> pixels;  // row by row
  Ink at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// True when the font has a glyph for `c` ("0" to "9" and ",").
bool HasGlyph(char c);
ReadoutImage RenderReadout(std::string_view text);

// Client position of the read-out's first cell for the window's outer size:
// a fixed distance from the bottom-right corner of the nominal client area
// of the largest of 800 x 600, 1024 x 768, 1152 x 864, 1280 x 960 that fits.
int ReadoutLeftFor(int outerWidth);
int ReadoutTopFor(int outerHeight);

}  // namespace crewmap::gamesim
