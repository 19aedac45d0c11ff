#pragma once
// Reading the read-out at a place from whole glyphs (MatchGlyph), with a
// check that the text is a place in the world: the evidence a place needs
// when it does not come from the origin table at one of the table's sizes.
#include <string>

#include "platform/window_source.h"
#include "reader/origin.h"

namespace crewmap::reader {

// The position text at `origin` when a read-out certainly stands there: a run
// of whole glyphs from the first cell (at most twelve), none in the cell
// before it, exactly one comma with digits on both sides, and a place in the
// world (x below 16384, y below 8192). Empty otherwise.
std::string ReadWholeGlyphs(const platform::PixelBlock& block, ReadoutOrigin origin);

// The rectangle of pixels ReadWholeGlyphs looks at for `origin`: the cell
// before, twelve cells, and the outline around them. Empty (width 0) when it
// would leave the 32-bit range.
platform::PixelRect WholeGlyphArea(ReadoutOrigin origin);

}  // namespace crewmap::reader
