#include "readout_font.h"

#include <algorithm>
#include <array>

namespace crewmap::gamesim_win32 {
namespace {

constexpr int kCellWidth = 6;
constexpr int kRows = 10;
using Glyph = std::array<const char*, kRows>;

// Columns 0..5 of a cell, rows 0..9; 'X' is the white body. "3" and "8" are
// our own design: the game's capture shows neither.
constexpr Glyph kGlyphs[] = {
    {"..XX..", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"},  // 0
    {"...X..", "..XX..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "......"},  // 1
    {"..XX..", ".X..X.", ".X..X.", "....X.", "...X..", "..X...", "..X...", ".X....", ".XXXX.", "......"},  // 2
    {"..XX..", ".X..X.", "....X.", "...X..", "..XX..", "....X.", "....X.", ".X..X.", "..XX..", "......"},  // 3
    {"....X.", "...XX.", "...XX.", "..X.X.", "..X.X.", ".X..X.", ".XXXXX", "....X.", "....X.", "......"},  // 4
    {".XXXX.", ".X....", ".X....", ".XXX..", ".X..X.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"},  // 5
    {"..XX..", ".X..X.", ".X..X.", ".X....", ".XXX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"},  // 6
    {".XXXX.", "....X.", "....X.", "...X..", "...X..", "...X..", "..X...", "..X...", "..X...", "......"},  // 7
    {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"},  // 8
    {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XXX.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"},  // 9
};
constexpr Glyph kComma = {"......", "......", "......", "......", "......",
                          "......", "......", ".XXX..", "...X..", ".XX..."};

const Glyph* glyphFor(char c) {
  if (c >= '0' && c <= '9') return &kGlyphs[c - '0'];
  if (c == ',') return &kComma;
  return nullptr;
}

bool isBody(const Glyph& g, int dx, int dy) {
  return dx >= 0 && dx < kCellWidth && dy >= 0 && dy < kRows && g[dy][dx] == 'X';
}

}  // namespace

ReadoutOrigin ReadoutOriginFor(std::int32_t clientWidth, std::int32_t clientHeight) {
  return {std::max(0, clientWidth - 78), std::max(0, clientHeight - 272)};
}

std::vector<ReadoutPixel> RenderReadout(std::string_view text, ReadoutOrigin origin) {
  std::vector<ReadoutPixel> outline;
  std::vector<ReadoutPixel> body;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph* g = glyphFor(text[i]);
    if (!g) continue;
    const std::int32_t cx = origin.x + static_cast<std::int32_t>(i) * kCellWidth;
    for (int dy = 0; dy < kRows; ++dy) {
      for (int dx = 0; dx < kCellWidth; ++dx) {
        if (isBody(*g, dx, dy)) body.push_back({cx + dx, origin.y + dy, true});
      }
    }
    // The outline: every pixel next to the body (eight neighbours) that is
    // not body itself, reaching one pixel beyond the cell where needed.
    for (int dy = -1; dy <= kRows; ++dy) {
      for (int dx = -1; dx <= kCellWidth; ++dx) {
        if (isBody(*g, dx, dy)) continue;
        bool touches = false;
        for (int ny = -1; ny <= 1 && !touches; ++ny)
          for (int nx = -1; nx <= 1 && !touches; ++nx) touches = isBody(*g, dx + nx, dy + ny);
        if (touches) outline.push_back({cx + dx, origin.y + dy, false});
      }
    }
  }
  outline.insert(outline.end(), body.begin(), body.end());
  return outline;
}

}  // namespace crewmap::gamesim_win32
