// The search for read-outs over arbitrary pictures, and the position checks
// it relies on.
//
// Input: the copy's width and height (small) and its place (two 32-bit
// values, mostly small, sometimes at the ends of the range), then one byte
// per pixel (by its value modulo 4: another colour, white, black,
// unreadable), then texts for the position checks, split at the first "|".
#include <cstdint>
#include <limits>
#include <string>

#include "fuzz_support.h"
#include "reader/glyph.h"
#include "reader/glyph_shape.h"
#include "reader/reading_guard.h"
#include "reader/readout_search.h"
#include "reader/validation.h"
#include "reader/whole_glyphs.h"

namespace {

std::int32_t Place(std::uint32_t raw, std::int32_t size) {
  if ((raw & 0xC0000000u) == 0xC0000000u) return std::numeric_limits<std::int32_t>::min() + static_cast<std::int32_t>(raw % 64);
  if ((raw & 0xC0000000u) == 0x80000000u) return std::numeric_limits<std::int32_t>::max() - size - static_cast<std::int32_t>(raw % 64);
  return static_cast<std::int32_t>(raw % 4096);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::reader;
  crewmap::fuzz::InputReader input(data, size);
  const std::int32_t width = 16 + input.Byte() % 112;
  const std::int32_t height = 12 + input.Byte() % 20;
  const std::int32_t left = Place(input.U32(), width);
  const std::int32_t top = Place(input.U32(), height);
  crewmap::platform::PixelBlock block;
  block.Reset({left, top, width, height}, 0x00406080u);
  constexpr std::uint32_t kColours[] = {0x00406080u, kWhite, kBlack, crewmap::platform::kInvalidColor};
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) block.Row(y)[x] = kColours[input.Byte() % 4];

  for (const FoundReadout& found : FindReadouts(block)) {
    FUZZ_CHECK(IsWorldPosition(found.position));
    FUZZ_CHECK(ReadWholeGlyphs(block, found.origin) == found.position);
    FUZZ_CHECK(found.origin.x > left && found.origin.y > top && found.origin.y + 10 < std::int64_t{top} + height);
  }
  for (std::int64_t x = std::int64_t{left} - 7; x < std::int64_t{left} + width; x += 3) {
    const char c = MatchGlyph(block, x, std::int64_t{top} + 1);
    FUZZ_CHECK(c == 0 || c == ',' || (c >= '0' && c <= '9'));
    FUZZ_CHECK(!c || HoldsGlyphPiece(block, x, std::int64_t{top} + 1));  // a whole glyph is a piece too
  }
  const CellsRead cells = ReadCells(block, {static_cast<std::int32_t>(left + width / 4), top + 1});
  FUZZ_CHECK((cells.show == CellsShow::Readout) == !cells.text.empty());

  const std::string rest(input.Rest());
  const std::string a = rest.substr(0, rest.find('|'));
  const std::string b = rest.find('|') == std::string::npos ? "" : rest.substr(rest.find('|') + 1);
  FUZZ_CHECK(PlausibleStep(a, b) == PlausibleStep(b, a));
  FUZZ_CHECK(!PlausibleStep(a, a));
  FUZZ_CHECK(WithinReach(a, b, 5000) == WithinReach(b, a, 5000) && WithinReach(a, a, 0));
  if (IsWorldPosition(a)) FUZZ_CHECK(ValidatePosition(a) == a);
  return 0;
}
