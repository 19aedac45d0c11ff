#include "readout_canvas.h"

#include <array>

namespace crewmap::reader::test {
namespace {

struct Glyph {
  char c;
  std::array<const char*, 10> rows;
};

// Columns dx 0..5, rows dy 0..9; X is white. "3" and "8" are not in the
// capture; these shapes only meet what identifies them (P7/P8/P9).
constexpr Glyph kGlyphs[] = {
    {'1', {"...X..", "..XX..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "......"}},
    {'4', {"....X.", "...XX.", "...XX.", "..X.X.", "..X.X.", ".X..X.", ".XXXXX", "....X.", "....X.", "......"}},
    {'6', {"..XX..", ".X..X.", ".X..X.", ".X....", ".XXX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'0', {"..XX..", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'2', {"..XX..", ".X..X.", ".X..X.", "....X.", "...X..", "..X...", "..X...", ".X....", ".XXXX.", "......"}},
    {',', {"......", "......", "......", "......", "......", "......", "......", ".XXX..", "...X..", ".XX..."}},
    {'5', {".XXXX.", ".X....", ".X....", ".XXX..", ".X..X.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'7', {".XXXX.", "....X.", "....X.", "...X..", "...X..", "...X..", "..X...", "..X...", "..X...", "......"}},
    {'9', {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XXX.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'3', {"..XX..", ".X..X.", "....X.", "...X..", "..XX..", "....X.", "....X.", ".X..X.", "..XX..", "......"}},
    {'8', {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
};

const Glyph* Find(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

}  // namespace

bool CanvasHasGlyph(char c) { return Find(c) != nullptr; }

ReadoutCanvas::ReadoutCanvas(int width, int height, std::uint32_t background)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), background) {}

std::uint32_t ReadoutCanvas::At(std::int64_t x, std::int64_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFFu;
  return pixels_[static_cast<std::size_t>(y * width_ + x)];
}

void ReadoutCanvas::Set(int x, int y, std::uint32_t color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y * width_ + x)] = color;
}

void ReadoutCanvas::DrawReadout(std::string_view text, int x, int y) {
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t k = 0; k < text.size(); ++k) {
      const Glyph* g = Find(text[k]);
      if (!g) continue;
      const int cx = x + static_cast<int>(k) * 6;
      for (int dy = 0; dy < 10; ++dy)
        for (int dx = 0; dx < 6; ++dx) {
          if (g->rows[static_cast<std::size_t>(dy)][dx] != 'X') continue;
          if (pass == 0) {
            for (int oy = -1; oy <= 1; ++oy)
              for (int ox = -1; ox <= 1; ++ox) Set(cx + dx + ox, y + dy + oy, 0x00000000u);
          } else {
            Set(cx + dx, y + dy, 0x00FFFFFFu);
          }
        }
    }
  }
}

}  // namespace crewmap::reader::test
