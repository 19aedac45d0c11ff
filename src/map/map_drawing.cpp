#include "map/map_drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "map/composition.h"
#include "map/transform.h"

namespace crewmap::map {

namespace {
void FillRow(QRgb* row, std::int64_t count) { std::fill(row, row + count, SeaColour); }

// Writes a finished row of the (screen-sized) destination past the caches:
// it is read once more only by the paint, and streaming it avoids first
// fetching every destination line from memory.
void StreamRow(QRgb* dest, const QRgb* from, std::int32_t count) {
#if defined(__SSE2__)
  std::int32_t x = 0;
  for (; x < count && (reinterpret_cast<std::uintptr_t>(dest + x) & 15) != 0; ++x) dest[x] = from[x];
  for (; x + 4 <= count; x += 4)
    _mm_stream_si128(reinterpret_cast<__m128i*>(dest + x), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x)));
  for (; x < count; ++x) dest[x] = from[x];
#else
  std::memcpy(dest, from, static_cast<std::size_t>(count) * sizeof(QRgb));
#endif
}


// Back-buffer row r (w pixels) of the view `plan` describes.
void ComposeRow(const QImage& left, const QImage& right, const CompositionPlan& plan, std::int32_t r,
                QRgb* dest, std::int32_t w) {
  if (r < plan.destRow || r >= plan.destRow + plan.rows) {
    FillRow(dest, w);
    return;
  }
  const int pictureRow = r - plan.destRow + plan.srcRow;
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
}  // namespace

void ComposeBackBuffer(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                       QImage& back) {
  const int w = back.width();
  const int h = back.height();
  if (w <= 0 || h <= 0) return;
  const CompositionPlan plan = PlanComposition(viewX, viewY, w, h);
  for (int r = 0; r < h; ++r) ComposeRow(left, right, plan, r, reinterpret_cast<QRgb*>(back.scanLine(r)), w);
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

std::int32_t NearestSource(std::int64_t i, std::int32_t from, std::int32_t to) {
  return static_cast<std::int32_t>(std::min<std::int64_t>((2 * i + 1) * from / (std::int64_t{2} * to), from - 1));
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
  for (int x = 0; x < dw; ++x) columns[static_cast<std::size_t>(x)] = NearestSource(x, sw, dw);
  int previous = -1;
  for (int y = 0; y < dh; ++y) {
    const int sy = NearestSource(y, sh, dh);
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

void DrawViewScaled(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                    std::int32_t w, std::int32_t h, QImage& dst, ScaledViewScratch& scratch) {
  const int dw = dst.width(), dh = dst.height();
  if (dw <= 0 || dh <= 0) return;
  if (w <= 0 || h <= 0) {
    dst.fill(SeaColour);
    return;
  }
  const CompositionPlan plan = PlanComposition(viewX, viewY, w, h);
  scratch.columns.resize(static_cast<std::size_t>(dw));
  scratch.row.resize(static_cast<std::size_t>(w));
  std::int32_t* const columns = scratch.columns.data();
  QRgb* const row = scratch.row.data();
  for (std::int32_t x = 0; x < dw; ++x) columns[x] = NearestSource(x, w, dw);

  scratch.out.resize(static_cast<std::size_t>(dw));
  QRgb* const out = scratch.out.data();

  std::int32_t previous = -1;
  for (std::int32_t y = 0; y < dh; ++y) {
    const std::int32_t sy = NearestSource(y, h, dh);
    if (sy != previous) {
      previous = sy;
      if (sy < plan.destRow || sy >= plan.destRow + plan.rows) {
        FillRow(out, dw);  // beyond the poles
      } else {
        // Composing the row whole first reads the pictures front to back in
        // block copies; sampling them directly stalls on nearly every read.
        ComposeRow(left, right, plan, sy, row, w);
        for (std::int32_t x = 0; x < dw; ++x) out[x] = row[columns[x]];
      }
    }
    // Zooming in repeats the row just made.
    StreamRow(reinterpret_cast<QRgb*>(dst.scanLine(y)), out, dw);
  }
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace crewmap::map
