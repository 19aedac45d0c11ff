#include "reader/whole_glyphs.h"

#include <limits>

#include "reader/glyph_shape.h"
#include "reader/validation.h"

namespace crewmap::reader {

std::string ReadWholeGlyphs(const platform::PixelBlock& block, ReadoutOrigin origin) {
  // A glyph in the cell before means the text starts earlier than `origin`
  // (or is no read-out at all): a part of it would read as a wrong position.
  if (MatchGlyph(block, std::int64_t{origin.x} - kCellPitch, origin.y)) return {};
  std::string text;
  for (int i = 0; i < kCellCount; ++i) {
    const char c = MatchGlyph(block, std::int64_t{origin.x} + kCellPitch * i, origin.y);
    if (!c) break;
    text += c;
  }
  return IsWorldPosition(text) ? text : std::string();
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
