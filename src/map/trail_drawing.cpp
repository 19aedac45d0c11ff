#include "map/trail_drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "map/slot_colours.h"

namespace crewmap::map {

namespace {
// c * a + d * (1 - a) for a premultiplied c, red and blue at once.
inline void Blend(QRgb& d, std::uint32_t rb, std::uint32_t g, std::uint32_t a) {
  d = 0xFF000000u | ((rb + (d & 0xFF00FF) * (255 - a)) >> 8 & 0xFF00FF) | ((g + (d & 0x00FF00) * (255 - a)) >> 8 & 0x00FF00);
}
}  // namespace

void DrawTrailPieces(std::span<const TrailPiece> pieces, const QRect& rect, uchar* dst, qsizetype stride) {
  // Each band's strength: the newest nearly opaque, the oldest faint.
  std::array<std::uint32_t, kTrailBands> alphas{};
  for (int band = 0; band < kTrailBands; ++band) alphas[band] = 230 - band * 190 / (kTrailBands - 1);
  const int left = rect.left(), top = rect.top(), right = rect.right(), bottom = rect.bottom();
  for (const TrailPiece& p : pieces) {
    const float minX = std::min(p.x0, p.x1), maxX = std::max(p.x0, p.x1);
    const float minY = std::min(p.y0, p.y1), maxY = std::max(p.y0, p.y1);
    if (maxX + 2 < left || minX - 2 > right || maxY + 2 < top || minY - 2 > bottom) continue;
    // Wholly inside (with its thickening): no pixel needs a test.
    const bool inside = minX - 1 >= left && maxX + 2 <= right && minY - 1 >= top && maxY + 2 <= bottom;
    const std::uint32_t colour = kSlotColours[p.slot].border, a = alphas[p.band];
    const std::uint32_t rb = (colour & 0xFF00FF) * a, g = (colour & 0x00FF00) * a;
    const float dx = p.x1 - p.x0, dy = p.y1 - p.y0;
    const bool across = std::fabs(dx) >= std::fabs(dy);  // thickened downwards, else to the right
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
    if (steps == 0) continue;
    // 16.16 fixed point; the shift floors negative positions too.
    std::int64_t fx = std::llround(static_cast<double>(p.x0) * 65536), fy = std::llround(static_cast<double>(p.y0) * 65536);
    const std::int64_t sx = std::llround(static_cast<double>(dx) * 65536 / steps);
    const std::int64_t sy = std::llround(static_cast<double>(dy) * 65536 / steps);
    const int nx = across ? 0 : 1, ny = across ? 1 : 0;
    for (int i = 0; i < steps; ++i, fx += sx, fy += sy) {
      const int x = static_cast<int>(fx >> 16), y = static_cast<int>(fy >> 16);
      if (inside) {
        QRgb* row = reinterpret_cast<QRgb*>(dst + (y - top) * stride) + (x - left);
        Blend(row[0], rb, g, a);
        Blend(*reinterpret_cast<QRgb*>(reinterpret_cast<uchar*>(row + nx) + ny * stride), rb, g, a);
        continue;
      }
      for (int k = 0; k < 2; ++k) {
        const int px = x + k * nx, py = y + k * ny;
        if (px >= left && px <= right && py >= top && py <= bottom)
          Blend(reinterpret_cast<QRgb*>(dst + (py - top) * stride)[px - left], rb, g, a);
      }
    }
  }
}

}  // namespace crewmap::map
