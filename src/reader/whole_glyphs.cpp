#include "reader/whole_glyphs.h"

#include <limits>

#include "reader/glyph_shape.h"
#include "reader/validation.h"

namespace crewmap::reader {

CellsRead ReadCells(const platform::PixelBlock& block, ReadoutOrigin origin) {
  // A glyph in the cell before means the text starts earlier than `origin`
  // (or is no read-out at all): a part of it would read as a wrong position.
  CellsRead read;
  if (MatchGlyph(block, std::int64_t{origin.x} - kCellPitch, origin.y)) return read;
  bool glyphs = false;  // a whole glyph stands in some cell
  bool broken = false;  // a piece of one, or a glyph after a cell without one
  bool ended = false;   // the run from the first cell has ended
  for (int i = 0; i < kCellCount; ++i) {
    const std::int64_t x = std::int64_t{origin.x} + kCellPitch * i;
    const char c = MatchGlyph(block, x, origin.y);
    glyphs = glyphs || c;
    if (c && ended) broken = true;
    if (c && !ended) read.text += c;
    if (!c && HoldsGlyphPiece(block, x, origin.y)) broken = true;
    ended = ended || !c;
  }
  read.show = !glyphs ? CellsShow::Nothing : broken ? CellsShow::Covered : CellsShow::Readout;
  if (read.show != CellsShow::Readout) read.text.clear();
  return read;
}

std::string ReadWholeGlyphs(const platform::PixelBlock& block, ReadoutOrigin origin) {
  CellsRead read = ReadCells(block, origin);
  return read.show == CellsShow::Readout && IsWorldPosition(read.text) ? std::move(read.text) : std::string();
}

platform::PixelRect WholeGlyphArea(ReadoutOrigin origin) {
  // One pixel of outline around the cell before and the twelve cells.
  const std::int64_t left = std::int64_t{origin.x} - kCellPitch - 1;
  const std::int64_t top = std::int64_t{origin.y} - 1;
  constexpr std::int32_t kWidth = kCellPitch * (kCellCount + 1) + 2;
  constexpr std::int32_t kHeight = 10 + 2;
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (left < kMin || top < kMin || left + kWidth > kMax || top + kHeight > kMax) return {};
  return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top), kWidth, kHeight};
}

}  // namespace crewmap::reader
