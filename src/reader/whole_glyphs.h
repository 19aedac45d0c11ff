#pragma once
// Reading the read-out at a place from whole glyphs (MatchGlyph), with a
// check that the text is a place in the world: the evidence a place needs
// when it does not come from the origin table at one of the table's sizes.
#include <string>

#include "platform/window_source.h"
#include "reader/origin.h"

namespace crewmap::reader {

// What the twelve cells at a place show.
enum class CellsShow {
  Nothing,  // no whole glyph (or one in the cell before: a longer number)
  Readout,  // a run of whole glyphs from the first cell, every later cell plainly empty
  Covered,  // whole glyphs, but a piece of one, or a gap before one: something lies over it
};

struct CellsRead {
  CellsShow show = CellsShow::Nothing;
  std::string text;  // Readout: the run's characters, not yet validated
};

// Reads the cells at `origin` whole. A cell is plainly empty when it holds
// neither a whole glyph nor a piece of one (HoldsGlyphPiece). Only a run
// that starts at the first cell and is followed by plainly empty cells is a
// reading: a read-out whose start or middle is covered, or that is cut
// inside a glyph, would otherwise read as a shorter number.
CellsRead ReadCells(const platform::PixelBlock& block, ReadoutOrigin origin);

// The position text at `origin` when a read-out certainly stands there
// (ReadCells gives a reading, with exactly one comma and digits on both
// sides, naming a place in the world: x below 16384, y below 8192). Empty
// otherwise.
std::string ReadWholeGlyphs(const platform::PixelBlock& block, ReadoutOrigin origin);

// The rectangle of pixels ReadCells looks at for `origin`: the cell before,
// twelve cells, and the outline around them. Empty (width 0) when it would
// leave the 32-bit range.
platform::PixelRect WholeGlyphArea(ReadoutOrigin origin);

}  // namespace crewmap::reader
