#include "reader/glyph_shape.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "reader/glyph.h"

namespace crewmap::reader {
namespace {

constexpr int kColumns = 6;
constexpr int kRows = 10;

// The read-out's glyphs as the game draws them (X = white); columns dx 0..5,
// rows dy 0..9. "3" and "8" have never been seen in the game's read-out.
struct Shape {
  char c;
  const char* rows[kRows];
};
constexpr Shape kShapes[] = {
    {'1', {"...X..", "..XX..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "...X..", "......"}},
    {'4', {"....X.", "...XX.", "...XX.", "..X.X.", "..X.X.", ".X..X.", ".XXXXX", "....X.", "....X.", "......"}},
    {'6', {"..XX..", ".X..X.", ".X..X.", ".X....", ".XXX..", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'0', {"..XX..", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'2', {"..XX..", ".X..X.", ".X..X.", "....X.", "...X..", "..X...", "..X...", ".X....", ".XXXX.", "......"}},
    {',', {"......", "......", "......", "......", "......", "......", "......", ".XXX..", "...X..", ".XX..."}},
    {'5', {".XXXX.", ".X....", ".X....", ".XXX..", ".X..X.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"}},
    {'7', {".XXXX.", "....X.", "....X.", "...X..", "...X..", "...X..", "..X...", "..X...", "..X...", "......"}},
    {'9', {"..XX..", ".X..X.", ".X..X.", ".X..X.", "..XXX.", "....X.", ".X..X.", ".X..X.", "..XX..", "......"}},
};

constexpr std::uint64_t Bit(int dx, int dy) { return std::uint64_t{1} << (dy * kColumns + dx); }
constexpr bool Has(std::uint64_t body, int dx, int dy) {
  return dx >= 0 && dy >= 0 && dx < kColumns && dy < kRows && (body & Bit(dx, dy));
}

constexpr std::uint64_t MaskOf(const Shape& shape) {
  std::uint64_t mask = 0;
  for (int dy = 0; dy < kRows; ++dy)
    for (int dx = 0; dx < kColumns; ++dx)
      if (shape.rows[dy][dx] == 'X') mask |= Bit(dx, dy);
  return mask;
}
constexpr auto kMasks = [] {
  std::array<std::uint64_t, std::size(kShapes)> masks{};
  for (std::size_t i = 0; i < masks.size(); ++i) masks[i] = MaskOf(kShapes[i]);
  return masks;
}();

// Where a digit's body may lie: rows 0 to 8, columns 1 to 4.
constexpr std::uint64_t kDigitArea = [] {
  std::uint64_t mask = 0;
  for (int dy = 0; dy < kRows - 1; ++dy)
    for (int dx = 1; dx < kColumns - 1; ++dx) mask |= Bit(dx, dy);
  return mask;
}();

// The pixels of a cell (and the ring around it) of a copy.
class Cell {
 public:
  Cell(const platform::PixelBlock& block, std::int64_t left, std::int64_t top)
      : block_(block), left_(left), top_(top) {}
  bool White(int dx, int dy) const { return At(dx, dy) == kWhite; }
  std::uint32_t At(int dx, int dy) const {
    return block_.Row(static_cast<std::int32_t>(top_ + dy))[left_ + dx];
  }
  // Every pixel beside the body (across or down) that is not body is black.
  bool Outlined(std::uint64_t body) const {
    constexpr int kSteps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (int dy = 0; dy < kRows; ++dy)
      for (int dx = 0; dx < kColumns; ++dx) {
        if (!Has(body, dx, dy)) continue;
        for (const auto& [sx, sy] : kSteps)
          if (!Has(body, dx + sx, dy + sy) && At(dx + sx, dy + sy) != kBlack) return false;
      }
    return true;
  }

 private:
  const platform::PixelBlock& block_;
  std::int64_t left_;
  std::int64_t top_;
};

// The white pixels joined (diagonals included) to the cell's pixel (dx, dy).
std::uint64_t WhiteShapeAt(const Cell& cell, int dx, int dy) {
  if (!cell.White(dx, dy)) return 0;
  std::uint64_t shape = Bit(dx, dy);
  int stack[kColumns * kRows][2];
  int size = 0;
  stack[size][0] = dx;
  stack[size++][1] = dy;
  while (size > 0) {
    --size;
    const int x = stack[size][0], y = stack[size][1];
    for (int ny = y - 1; ny <= y + 1; ++ny)
      for (int nx = x - 1; nx <= x + 1; ++nx) {
        if (nx < 0 || ny < 0 || nx >= kColumns || ny >= kRows || Has(shape, nx, ny) || !cell.White(nx, ny)) continue;
        shape |= Bit(nx, ny);
        stack[size][0] = nx;
        stack[size++][1] = ny;
      }
  }
  return shape;
}

}  // namespace

char MatchGlyph(const platform::PixelBlock& block, std::int64_t x, std::int64_t y) {
  // The cell and the ring of outline around it must lie in the copy (and
  // so in the 32-bit range).
  const platform::PixelRect& r = block.Rect();
  const std::int64_t left = x - r.left;
  const std::int64_t top = y - r.top;
  if (left < 1 || top < 1 || left + kColumns + 1 > r.width || top + kRows + 1 > r.height) return 0;
  const Cell cell(block, left, top);

  // A glyph of the font: its body all white, its outline all black. What
  // else the cell holds does not matter (the game may draw over any
  // picture), and no two glyphs can both pass.
  for (std::size_t i = 0; i < kMasks.size(); ++i) {
    bool body = true;
    for (int dy = 0; dy < kRows && body; ++dy)
      for (int dx = 0; dx < kColumns && body; ++dx) body = !Has(kMasks[i], dx, dy) || cell.White(dx, dy);
    if (body && cell.Outlined(kMasks[i])) return kShapes[i].c;
  }

  // "3" and "8": the white shape through the bottom row's second pixel (P3,
  // white in both), kept to the digits' rows and inner columns, reaching
  // their top row as every digit does (a digit cut off at its right, by the
  // screen's edge or a box, leaves a lower piece that is no glyph), and
  // outlined, for which the probes decide "3" or "8".
  constexpr std::uint64_t kTopRow = Bit(1, 0) | Bit(2, 0) | Bit(3, 0) | Bit(4, 0);
  const std::uint64_t shape = WhiteShapeAt(cell, 2, 8);
  if (shape == 0 || (shape & ~kDigitArea) || !(shape & kTopRow) || !cell.Outlined(shape)) return 0;
  // The probes of the shape alone, at the cell's place in the copy's frame.
  const std::string probed = ReadGlyph(
      [shape](std::int32_t px, std::int32_t py) { return Has(shape, px, py) ? kWhite : kBlack; }, 0, 0);
  return probed == "3" || probed == "8" ? probed[0] : 0;
}

bool HoldsGlyphPiece(const platform::PixelBlock& block, std::int64_t x, std::int64_t y) {
  const auto at = [&block](std::int64_t px, std::int64_t py) {
    if (px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX) return platform::kInvalidColor;
    return block.At(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py));
  };
  constexpr int kSteps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  for (int dy = 0; dy < kRows; ++dy)
    for (int dx = 1; dx < kColumns - 1; ++dx) {
      if (at(x + dx, y + dy) != kWhite) continue;
      for (const auto& [sx, sy] : kSteps)
        if (at(x + dx + sx, y + dy + sy) == kBlack) return true;
    }
  return false;
}

}  // namespace crewmap::reader
