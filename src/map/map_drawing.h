#pragma once
// The map window's drawing steps on plain images: composing the back buffer
// from the two half pictures at map scale, and bringing it to the map area
// 1:1 or stretched with nearest-neighbour sampling.
#include <QImage>
#include <cstdint>

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

}  // namespace crewmap::map
