#pragma once
// Finding read-outs anywhere in a copy of the client area. A read-out holds
// exactly one comma, and the comma is cheap to spot: a white pixel one row
// below the glyph bodies (P2) with a black one up and to its left (P1). From
// each such pixel the search reads the cells on both sides at the read-out's
// pitch, and keeps what reads whole (ReadWholeGlyphs).
#include <string>
#include <vector>

#include "platform/window_source.h"
#include "reader/origin.h"

namespace crewmap::reader {

struct FoundReadout {
  ReadoutOrigin origin;  // the first cell
  std::string position;
};

// Every read-out that lies wholly (outline included) in the copy, top to
// bottom, each once.
std::vector<FoundReadout> FindReadouts(const platform::PixelBlock& block);

}  // namespace crewmap::reader
