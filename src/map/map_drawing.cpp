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

void CopyRow(QRgb* dest, const QRgb* from, std::int64_t count) {
  std::memcpy(dest, from, static_cast<std::size_t>(count) * sizeof(QRgb));
}

// dest[x] = row[columns[x]] for x < count. The pixels go to memory past the
// caches: each destination line is written whole, so fetching it first (as a
// plain store would) only doubles the traffic; block copies stay with memcpy,
// which measured faster for them.
void StreamSampled(QRgb* dest, const QRgb* row, const std::int32_t* columns, std::int32_t count) {
  std::int32_t x = 0;
#if defined(__SSE2__)
  for (; x < count && (reinterpret_cast<std::uintptr_t>(dest + x) & 15) != 0; ++x) dest[x] = row[columns[x]];
  for (; x + 4 <= count; x += 4) {
    const __m128i four = _mm_set_epi32(static_cast<int>(row[columns[x + 3]]), static_cast<int>(row[columns[x + 2]]),
                                       static_cast<int>(row[columns[x + 1]]), static_cast<int>(row[columns[x]]));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dest + x), four);
  }
#endif
  for (; x < count; ++x) dest[x] = row[columns[x]];
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

namespace {
QImage HalveOne(const QImage& picture, int parity) {
  if (picture.width() <= parity || picture.height() <= 0) return QImage(0, 0, QImage::Format_RGB32);
  // Picture columns parity, parity + 2, ... that exist.
  const int width = (picture.width() - parity + 1) / 2;
  QImage halved(width, picture.height(), QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y) {
    const QRgb* from = reinterpret_cast<const QRgb*>(picture.constScanLine(y)) + parity;
    QRgb* to = reinterpret_cast<QRgb*>(halved.scanLine(y));
    for (int x = 0; x < width; ++x) to[x] = from[2 * x];
  }
  return halved;
}

constexpr std::int32_t HalvedWorld = MapWidth / 2;   // columns of one parity in the world
constexpr std::int32_t HalvedHalf = HalfWidth / 2;   // ... in one half

// Zoom 0.5 (w = 2 dw, h = 2 dh): screen pixel (x, y) shows map column
// viewX + 2x + 1 and map row viewY + 2y + 1, so every column shown has the
// parity of viewX + 1 and the row is a block copy from the halved pictures.
void DrawHalved(const HalvedColumns& halved, std::int32_t viewX, std::int32_t viewY, QImage& dst) {
  const int dw = dst.width(), dh = dst.height();
  const std::int64_t first = ((std::int64_t{viewX} + 1) % MapWidth + MapWidth) % MapWidth;
  const int parity = static_cast<int>(first % 2);
  const std::int64_t start = first / 2;  // column in the world of that parity
  for (std::int32_t y = 0; y < dh; ++y) {
    QRgb* const dest = reinterpret_cast<QRgb*>(dst.scanLine(y));
    const std::int64_t mapRow = std::int64_t{viewY} + 2 * y + 1;
    if (mapRow < 0 || mapRow >= MapHeight) {
      FillRow(dest, dw);  // beyond the poles
      continue;
    }
    std::int64_t d = start;
    for (std::int32_t x = 0; x < dw;) {
      const bool leftHalf = d < HalvedHalf;
      const QImage& src = leftHalf ? halved.left[parity] : halved.right[parity];
      const std::int64_t srcX = leftHalf ? d : d - HalvedHalf;
      const std::int64_t run = std::min<std::int64_t>(dw - x, HalvedHalf - srcX);
      std::int64_t available = 0;
      if (mapRow < src.height() && srcX < src.width()) available = std::min<std::int64_t>(run, src.width() - srcX);
      if (available > 0)
        CopyRow(dest + x, reinterpret_cast<const QRgb*>(src.constScanLine(static_cast<int>(mapRow))) + srcX,
                available);
      if (available < run) FillRow(dest + x + available, run - available);
      x += static_cast<std::int32_t>(run);
      d = (d + run) % HalvedWorld;
    }
  }
}
}  // namespace

HalvedColumns HalveColumns(const QImage& left, const QImage& right) {
  HalvedColumns halved;
  for (int parity : {0, 1}) {
    halved.left[parity] = HalveOne(left, parity);
    halved.right[parity] = HalveOne(right, parity);
  }
  halved.leftKey = left.cacheKey();
  halved.rightKey = right.cacheKey();
  return halved;
}

void DrawViewScaled(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                    std::int32_t w, std::int32_t h, QImage& dst, ScaledViewScratch& scratch,
                    const HalvedColumns* halved) {
  const int dw = dst.width(), dh = dst.height();
  if (dw <= 0 || dh <= 0) return;
  if (w <= 0 || h <= 0) {
    dst.fill(SeaColour);
    return;
  }
  if (halved && w == 2 * std::int64_t{dw} && h == 2 * std::int64_t{dh} && halved->MadeFrom(left, right)) {
    DrawHalved(*halved, viewX, viewY, dst);
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
    QRgb* const dest = reinterpret_cast<QRgb*>(dst.scanLine(y));
    const bool repeated = y + 1 < dh && NearestSource(y + 1, h, dh) == sy;
    if (sy != previous) {
      previous = sy;
      if (sy < plan.destRow || sy >= plan.destRow + plan.rows) {
        FillRow(out, dw);  // beyond the poles
      } else {
        // Composing the row whole first reads the pictures front to back in
        // block copies; sampling them directly stalls on nearly every read.
        ComposeRow(left, right, plan, sy, row, w);
        if (!repeated) {
          // Shown once (always so when zoomed out): sampled straight out.
          StreamSampled(dest, row, columns, dw);
          continue;
        }
        for (std::int32_t x = 0; x < dw; ++x) out[x] = row[columns[x]];
      }
    }
    // Zooming in repeats the row just made.
    CopyRow(dest, out, dw);
  }
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace crewmap::map
