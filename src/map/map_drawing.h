#pragma once
// The map window's drawing steps on plain images: composing the back buffer
// from the two half pictures at map scale, and bringing it to the map area
// 1:1 or stretched with nearest-neighbour sampling.
#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

#include "map/half_size_level.h"

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

// Where each destination column of a view comes from, kept by the caller
// between redraws and remade only when the view's columns change (a new
// origin, zoom or area width), so that a frame does no per-column arithmetic.
struct ScaledViewScratch {
  // One run of destination columns [x0, x1) taken from one half picture.
  struct Run {
    std::int32_t x0 = 0, x1 = 0;
    bool right = false;
    std::int32_t step = 0;  // 1 or 2: picture columns advance evenly; 0: any
    // For step 0: the repeating pattern the columns follow (see
    // column_patterns.cpp), from destination column `phase` on; 0 for none.
    std::int32_t pattern = 0;
    std::int32_t phase = 0;
  };
  std::int32_t viewX = 0, w = -1, dw = -1;  // the columns the tables describe
  std::vector<std::int32_t> pictureX;       // per destination column: the half picture's column
  std::vector<Run> runs;                    // left to right, covering 0..dw-1
};


// Draws the pixels `rect` (area coordinates, inside the dw x dh area) of the
// view of w x h map pixels at origin (viewX, viewY), stretched onto the
// area, into the 32-bit pixels whose top-left one (the rect's) is at `dst`,
// `stride` bytes per row: pixel for pixel what ComposeBackBuffer into a
// w x h image followed by StretchNearest onto a dw x dh image gives
// (CopyPlain when w x h is the area's size), without making either image.
// Each picture pixel is read once per destination pixel and copied in blocks
// where the columns run on evenly. `level`, when made from these halves,
// draws views exactly twice the area's size from it (see HalfSizeLevel).
void DrawViewRect(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY, std::int32_t w,
                  std::int32_t h, std::int32_t dw, std::int32_t dh, const QRect& rect, uchar* dst,
                  qsizetype stride, ScaledViewScratch& scratch, const HalfSizeLevel* level = nullptr);

// The whole view drawn onto the whole of `dst` (Format_RGB32).
void DrawViewScaled(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                    std::int32_t w, std::int32_t h, QImage& dst, ScaledViewScratch& scratch,
                    const HalfSizeLevel* level = nullptr);

}  // namespace crewmap::map
