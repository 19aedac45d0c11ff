#pragma once
// The map window's drawing steps on plain images: composing the back buffer
// from the two half pictures at map scale, and bringing it to the map area
// 1:1 or stretched with nearest-neighbour sampling.
#include <QImage>
#include <cstdint>
#include <vector>

namespace crewmap::map {

// The colour shown where the view lies outside the world picture (above its
// top or below its bottom edge, or past a picture smaller than 2396 x 2396).
inline constexpr QRgb SeaColour = 0xFF6F9FC8;

// Fills every pixel of `back` (w x h, Format_RGB32): column k shows map column
// (viewX + k) mod 4792, row r shows map row viewY + r, each taken from the
// left half when below 2396 and from the right half (at column - 2396)
// otherwise. The halves are Format_RGB32 images.
void ComposeBackBuffer(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                       QImage& back);

// Copies `src` onto `dst` from (0, 0) at the same scale; whatever of `dst` it
// does not cover becomes sea.
void CopyPlain(const QImage& src, QImage& dst);

// Stretches the whole of `src` onto the whole of `dst` taking for each
// destination pixel the source pixel under its centre.
void StretchNearest(const QImage& src, QImage& dst);

// Which source row and column each destination row and column of a
// nearest-neighbour stretch from `from` to `to` pixels takes: the one under
// its centre, (2i + 1) * from / (2 * to), never past the last.
std::int32_t NearestSource(std::int64_t i, std::int32_t from, std::int32_t to);

// Buffers kept by the caller between redraws, so that a redraw allocates
// (almost) nothing once the area's size has settled.
struct ScaledViewScratch {
  std::vector<std::int32_t> columns;  // per destination column: the back-buffer column it shows
  std::vector<QRgb> row;              // one back-buffer row, composed where the stretch samples it
  std::vector<QRgb> out;              // one destination row, sampled from `row`
};

// The two halves split by column parity: even[0]/odd[1] hold picture
// columns 0, 2, 4 ... and 1, 3, 5 ... of each half. Zoomed out by exactly 2
// the stretch samples every other map column, all of one parity (the world
// and the halves are of even width), so drawing from these reads half the
// bytes and copies whole blocks instead of sampling pixel by pixel.
struct HalvedColumns {
  QImage left[2];
  QImage right[2];
  qint64 leftKey = 0;  // the pictures they were made from
  qint64 rightKey = 0;
  bool MadeFrom(const QImage& l, const QImage& r) const {
    return !left[0].isNull() && leftKey == l.cacheKey() && rightKey == r.cacheKey();
  }
};
HalvedColumns HalveColumns(const QImage& left, const QImage& right);

// The view of w x h map pixels at origin (viewX, viewY) drawn straight onto
// the whole of `dst`: pixel for pixel what ComposeBackBuffer into a w x h
// image followed by StretchNearest onto `dst` gives, without making the
// map-scale image. Only the map rows and columns the stretch samples are
// composed (one back-buffer row at a time, in a buffer that stays in the
// cache), so a view zoomed out skips the rows it does not show and a view
// zoomed in composes each shown row once.
// `halved`, when made from these halves, speeds up views exactly twice the
// area's size (zoom 0.5) without changing a pixel.
void DrawViewScaled(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                    std::int32_t w, std::int32_t h, QImage& dst, ScaledViewScratch& scratch,
                    const HalvedColumns* halved = nullptr);

}  // namespace crewmap::map
