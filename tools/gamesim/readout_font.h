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

// Client position of the read-out's first cell: 78 pixels left of and 272
// above the client area's bottom-right corner, as the game anchors its
// interface at every size (never left of or above the client area).
int ReadoutLeftFor(int clientWidth);
int ReadoutTopFor(int clientHeight);

}  // namespace crewmap::gamesim
