#pragma once
// The members' trails drawn over the map, straight into the frame's pixels.
#include <QImage>
#include <QRect>
#include <span>

#include "map/trails.h"

namespace crewmap::map {

// Draws trail pieces (area pixels) two pixels wide over what `dst` holds:
// the pixels `rect` of the area, the rect's top-left one at `dst`, `stride`
// bytes per row, 32-bit. Each piece is blended once per pixel in its slot's
// deeper colour at its band's strength, and without its newer end, where
// the next piece (or the member's marker) begins, so joints are not drawn
// twice. Plain stepping, no anti-aliasing: thousands of pieces cost a small
// part of a frame.
void DrawTrailPieces(std::span<const TrailPiece> pieces, const QRect& rect, uchar* dst, qsizetype stride);

}  // namespace crewmap::map
