#include "reader/readout_search.h"

#include <algorithm>

#include "reader/glyph.h"
#include "reader/glyph_shape.h"
#include "reader/whole_glyphs.h"

namespace crewmap::reader {
namespace {

// The comma's body, as offsets from its tail pixel P2 (2, 9): a quick test
// that throws out nearly every white pixel of a busy picture before the
// whole glyph is compared.
constexpr int kCommaBody[][2] = {{-1, -2}, {0, -2}, {1, -2}, {1, -1}, {-1, 0}};

}  // namespace

std::vector<FoundReadout> FindReadouts(const platform::PixelBlock& block) {
  std::vector<FoundReadout> found;
  const platform::PixelRect& r = block.Rect();
  // Rows and columns where a comma's tail can lie with its cell's outline in
  // the copy: the tail is at (2, 9) of a cell whose ring spans -1 to 10.
  for (std::int32_t row = 10; row + 1 < r.height; ++row) {
    const std::uint32_t* line = block.Row(row);
    const std::uint32_t* above = block.Row(row - 1);
    for (std::int32_t col = 3; col + 4 < r.width; ++col) {
      if (line[col] != kWhite || above[col - 1] != kBlack) continue;
      bool comma = true;
      for (const auto& [dx, dy] : kCommaBody) comma = comma && block.Row(row + dy)[col + dx] == kWhite;
      if (!comma) continue;
      const std::int64_t x = std::int64_t{r.left} + col - 2;
      const std::int64_t y = std::int64_t{r.top} + row - 9;
      if (MatchGlyph(block, x, y) != ',') continue;
      // Back over the digits before the comma to the read-out's first cell
      // (a glyph lies in the copy, so in the 32-bit range).
      std::int64_t first = x;
      for (int k = 1; k < kCellCount && MatchGlyph(block, first - kCellPitch, y); ++k) first -= kCellPitch;
      const ReadoutOrigin origin{static_cast<std::int32_t>(first), static_cast<std::int32_t>(y)};
      if (std::ranges::find(found, origin, &FoundReadout::origin) != found.end()) continue;
      std::string position = ReadWholeGlyphs(block, origin);
      if (!position.empty()) found.push_back({origin, std::move(position)});
    }
  }
  return found;
}

}  // namespace crewmap::reader
