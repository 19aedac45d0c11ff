#include "map/map_drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "map/composition.h"

namespace crewmap::map {

namespace {
void FillRow(QRgb* row, std::int64_t count) { std::fill(row, row + count, SeaColour); }
}  // namespace

void ComposeBackBuffer(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                       QImage& back) {
  const int w = back.width();
  const int h = back.height();
  if (w <= 0 || h <= 0) return;
  const CompositionPlan plan = PlanComposition(viewX, viewY, w, h);
  for (int r = 0; r < h; ++r) {
    QRgb* dest = reinterpret_cast<QRgb*>(back.scanLine(r));
    const int pictureRow = r - plan.destRow + plan.srcRow;
    if (r < plan.destRow || r >= plan.destRow + plan.rows) {
      FillRow(dest, w);
      continue;
    }
    for (const BlockCopy& copy : plan.copies) {
      const QImage& src = copy.source == Half::Left ? left : right;
      // The pictures are expected to be 2396 x 2396; whatever a smaller one
      // lacks is shown as sea rather than read past its end.
      std::int64_t available = 0;
      if (pictureRow < src.height() && copy.srcX < src.width())
        available = std::min<std::int64_t>(copy.width, src.width() - copy.srcX);
      if (available > 0) {
        const QRgb* from = reinterpret_cast<const QRgb*>(src.constScanLine(pictureRow)) + copy.srcX;
        std::memcpy(dest + copy.destX, from, static_cast<std::size_t>(available) * sizeof(QRgb));
      }
      if (available < copy.width) FillRow(dest + copy.destX + available, copy.width - available);
    }
  }
}

void CopyPlain(const QImage& src, QImage& dst) {
  const int w = std::min(src.width(), dst.width());
  const int h = std::min(src.height(), dst.height());
  for (int r = 0; r < dst.height(); ++r) {
    QRgb* dest = reinterpret_cast<QRgb*>(dst.scanLine(r));
    int done = 0;
    if (r < h && w > 0) {
      std::memcpy(dest, src.constScanLine(r), static_cast<std::size_t>(w) * sizeof(QRgb));
      done = w;
    }
    FillRow(dest + done, dst.width() - done);
  }
}

void StretchNearest(const QImage& src, QImage& dst) {
  const int sw = src.width(), sh = src.height();
  const int dw = dst.width(), dh = dst.height();
  if (dw <= 0 || dh <= 0) return;
  if (sw <= 0 || sh <= 0) {
    dst.fill(SeaColour);
    return;
  }
  std::vector<int> columns(static_cast<std::size_t>(dw));
  for (int x = 0; x < dw; ++x)
    columns[static_cast<std::size_t>(x)] =
        static_cast<int>(std::min<std::int64_t>((std::int64_t{2} * x + 1) * sw / (std::int64_t{2} * dw), sw - 1));
  int previous = -1;
  for (int y = 0; y < dh; ++y) {
    const int sy = static_cast<int>(std::min<std::int64_t>((std::int64_t{2} * y + 1) * sh / (std::int64_t{2} * dh), sh - 1));
    QRgb* dest = reinterpret_cast<QRgb*>(dst.scanLine(y));
    if (sy == previous) {
      // Zooming in repeats source rows: copy the row just made.
      std::memcpy(dest, dst.constScanLine(y - 1), static_cast<std::size_t>(dw) * sizeof(QRgb));
      continue;
    }
    const QRgb* from = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
    for (int x = 0; x < dw; ++x) dest[x] = from[columns[static_cast<std::size_t>(x)]];
    previous = sy;
  }
}

}  // namespace crewmap::map
