#include "gamesim/readout_font.h"

#include <algorithm>
#include <array>
#include <utility>

namespace crewmap::gamesim {
namespace {

// Rows 0 to 9 of each glyph, columns 0 to 5 of its cell; X is the white body.
struct Glyph {
  char c;
  std::array<const char*, kCellHeight> rows;
};

constexpr Glyph kGlyphs[] = {
    {'0', {"..XX..", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'1', {"...X..", "..XX..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "......"}},
    {'2', {"..XX..", ".X..X.", ".X..X.", "....X.", "...X..", "..X...", "..X...", ".X....", ".XXXX.", "......"}},
    // "3": open on the left, middle bar short of both sides.
    {'3', {"..XX..", ".X..X.", "....X.", "....X.", "..XX..", "....X.", "....X.", ".X..X.", "..XX..", "......"}},
    {'4', {"....X.", "...XX.", "...XX.", "..X.X.", "..X.X.", ".X..X.", ".XXXXX", "....X.", "....X.", "......"}},
    {'5', {".XXXX.", ".X....", ".X....", ".XXX..", ".X..X.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'6', {"..XX..", ".X..X.", ".X..X.", ".X....", ".XXX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'7', {".XXXX.", "....X.", "....X.", "...X..", "...X..", "...X..", "..X...", "..X...", "..X...", "......"}},
    // "8": two stacked loops pinched at the fifth row.
    {'8', {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'9', {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XXX.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {',', {"......", "......", "......", "......", "......", "......", "......", ".XXX..", "...X..", ".XX..."}},
};

const Glyph* Find(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

}  // namespace

bool HasGlyph(char c) { return Find(c) != nullptr; }

ReadoutImage RenderReadout(std::string_view text) {
  ReadoutImage image;
  image.width = static_cast<int>(text.size()) * kCellWidth + 2;
  image.height = kCellHeight + 2;
  image.pixels.assign(static_cast<std::size_t>(image.width * image.height), Ink::None);
  auto set = [&image](int x, int y, Ink ink) { image.pixels[static_cast<std::size_t>(y * image.width + x)] = ink; };

  for (std::size_t k = 0; k < text.size(); ++k) {
    const Glyph* g = Find(text[k]);
    if (!g) continue;
    for (int dy = 0; dy < kCellHeight; ++dy)
      for (int dx = 0; dx < kCellWidth; ++dx)
        if (g->rows[static_cast<std::size_t>(dy)][dx] == 'X')
          set(1 + static_cast<int>(k) * kCellWidth + dx, 1 + dy, Ink::White);
  }
  // The outline: every non-white pixel that touches white, diagonals included.
  std::vector<Ink> outlined = image.pixels;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.at(x, y) == Ink::White) continue;
      bool touches = false;
      for (int ny = y - 1; ny <= y + 1 && !touches; ++ny)
        for (int nx = x - 1; nx <= x + 1 && !touches; ++nx)
          touches = nx >= 0 && ny >= 0 && nx < image.width && ny < image.height && image.at(nx, ny) == Ink::White;
      if (touches) outlined[static_cast<std::size_t>(y * image.width + x)] = Ink::Black;
    }
  }
  image.pixels = std::move(outlined);
  return image;
}

int ReadoutLeftFor(int clientWidth) { return std::max(0, clientWidth - 78); }

int ReadoutTopFor(int clientHeight) { return std::max(0, clientHeight - 272); }

}  // namespace crewmap::gamesim
