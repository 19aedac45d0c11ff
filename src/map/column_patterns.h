#pragma once
// The column patterns of the usual zoom steps (0.75, 1.5 and 2): where a
// run of a view's columns follows one, each group of destination columns is
// one load of four picture pixels, one shuffle and one store.
#include <QImage>
#include <cstdint>

#include "map/map_drawing.h"

namespace crewmap::map {

// Looks for a pattern that the run's columns follow from one of its first
// columns on, and notes it (and where it starts) in the run.
void FindPattern(const std::int32_t* pictureX, ScaledViewScratch::Run& run);

// Destination columns [a, b) of a patterned run; `from` is the picture row
// of `width` pixels. Every read stays inside the row and every write inside
// [a, b): a group reads four pixels and writes four, whatever it keeps.
void DrawPatterned(const ScaledViewScratch::Run& run, const std::int32_t* pictureX, const QRgb* from,
                   std::int32_t width, std::int32_t a, std::int32_t b, QRgb* out);

}  // namespace crewmap::map
