#pragma once
// The two map halves at half size, for zoom 0.5, and drawing a view from them.
#include <QImage>
#include <QRect>
#include <cstdint>

namespace crewmap::map {

// The two halves at half size, for zoom 0.5: pixel (i, j) of a level half is
// pixel (2i + 1, 2j + 1) of its picture. Zoomed out by exactly 2, each screen
// pixel's centre lies exactly between two map columns and between two map
// rows, a tie for nearest-neighbour sampling; taking the odd ones of each
// pair (the level) reads a quarter of the bytes, in block copies. A view at
// an odd origin then shows what the even origin just before it shows: the
// other pixel of each tied pair, half a screen pixel away.
struct HalfSizeLevel {
  QImage left;
  QImage right;
  qint64 leftKey = 0;  // the pictures it was made from
  qint64 rightKey = 0;
  bool MadeFrom(const QImage& l, const QImage& r) const {
    return !left.isNull() && leftKey == l.cacheKey() && rightKey == r.cacheKey();
  }
};
HalfSizeLevel MakeHalfSizeLevel(const QImage& left, const QImage& right);

// Zoom 0.5 from the level, for an even origin (evenX, evenY): area pixel
// (x, y) shows map column evenX + 2x + 1 and map row evenY + 2y + 1. Draws
// the pixels `area` into the 32-bit pixels whose top-left one (the area's)
// is at `dst`, `stride` bytes per row.
void DrawFromLevel(const HalfSizeLevel& level, std::int64_t evenX, std::int64_t evenY, const QRect& area,
                   uchar* dst, qsizetype stride);

}  // namespace crewmap::map
