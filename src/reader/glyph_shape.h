#pragma once
// Whether a cell of a copied block holds a whole glyph of the read-out's font.
// ReadGlyph decides from a handful of probes, which busy pictures satisfy
// easily; a place the program has only searched for needs the whole shape.
#include <cstdint>

#include "platform/window_source.h"

namespace crewmap::reader {

// The character ("0".."9" or ",") whose whole glyph stands in the cell at
// (x, y) of the copy, or 0. Every pixel of the font's body must be white and
// every pixel beside the body, across or down, black: the outline. For "3"
// and "8", whose shapes are not known, the body is the white shape through
// their common bottom-row pixel, which must keep to the digits' rows and
// inner columns, reach their top row, and for which the probes decide "3"
// or "8". Cells whose
// outline leaves the copy hold no glyph.
char MatchGlyph(const platform::PixelBlock& block, std::int64_t x, std::int64_t y);

// Whether the cell at (x, y) of the copy shows a piece of a glyph: a white
// pixel where a glyph's body lies (columns 1 to 4, rows 0 to 9) with a black
// pixel beside it, across or down. A glyph cut by something drawn over it
// leaves such a piece; a plain picture, or a box of one colour, does not.
// Pixels outside the copy count as neither white nor black.
bool HoldsGlyphPiece(const platform::PixelBlock& block, std::int64_t x, std::int64_t y);

}  // namespace crewmap::reader
