#include "map/map_drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "map/column_patterns.h"
#include "map/composition.h"
#include "map/row_copies.h"
#include "map/transform.h"

namespace crewmap::map {

namespace {
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
// Fills the column tables for the view's columns unless they already hold them.
void PlanColumns(std::int32_t viewX, std::int32_t w, std::int32_t dw, ScaledViewScratch& s) {
  if (s.viewX == viewX && s.w == w && s.dw == dw) return;
  s.viewX = viewX;
  s.w = w;
  s.dw = dw;
  s.pictureX.resize(static_cast<std::size_t>(dw));
  s.runs.clear();
  const std::int64_t origin = (std::int64_t{viewX} % MapWidth + MapWidth) % MapWidth;
  for (std::int32_t x = 0; x < dw; ++x) {
    const std::int64_t column = (origin + NearestSource(x, w, dw)) % MapWidth;
    const bool right = column >= HalfWidth;
    const auto px = static_cast<std::int32_t>(right ? column - HalfWidth : column);
    s.pictureX[static_cast<std::size_t>(x)] = px;
    // Within one half the columns never go back (the view wraps only
    // through the other half), so a run ends exactly where the half changes.
    if (s.runs.empty() || s.runs.back().right != right) {
      s.runs.push_back({x, x + 1, right, 1});
      continue;
    }
    ScaledViewScratch::Run& run = s.runs.back();
    const std::int32_t advance = px - s.pictureX[static_cast<std::size_t>(x) - 1];
    if (x - run.x0 == 1)
      run.step = advance == 1 || advance == 2 ? advance : 0;
    else if (advance != run.step)
      run.step = 0;
    run.x1 = x + 1;
  }
  for (ScaledViewScratch::Run& run : s.runs)
    if (run.step == 0) FindPattern(s.pictureX.data(), run);
}

// Destination columns [a, b) of one run on picture row `row` of `picture`.
void DrawRun(const QImage& picture, std::int64_t row, const ScaledViewScratch::Run& run, const std::int32_t* pictureX,
             std::int32_t a, std::int32_t b, QRgb* out) {
  if (row >= picture.height()) {
    FillRow(out, b - a);
    return;
  }
  const QRgb* from = reinterpret_cast<const QRgb*>(picture.constScanLine(static_cast<int>(row)));
  const std::int32_t first = pictureX[a];
  if (pictureX[b - 1] < picture.width()) {
    if (run.step == 1)
      CopyRow(out, from + first, b - a);
    else if (run.step == 2)
      CopyEveryOther(out, from + first, b - a);
    else if (run.pattern != 0)
      DrawPatterned(run, pictureX, from, picture.width(), a, b, out);
    else
      Gather(out, from, pictureX + a, b - a);
    return;
  }
  // A picture smaller than a half: whatever it lacks is sea, never read.
  for (std::int32_t x = a; x < b; ++x) out[x - a] = pictureX[x] < picture.width() ? from[pictureX[x]] : SeaColour;
}

// Asks for the first lines that each run reads of picture row `row`.
void PrefetchRowStarts(const QImage& left, const QImage& right, std::int64_t row,
                       const std::vector<ScaledViewScratch::Run>& runs, const std::int32_t* pictureX, std::int32_t x0,
                       std::int32_t x1) {
#if defined(__SSE2__)
  if (row < 0 || row >= MapHeight) return;
  for (const ScaledViewScratch::Run& run : runs) {
    const std::int32_t a = std::max(run.x0, x0);
    if (a >= std::min(run.x1, x1)) continue;
    const QImage& picture = run.right ? right : left;
    if (row >= picture.height() || pictureX[a] >= picture.width()) continue;
    const char* start = reinterpret_cast<const char*>(
        reinterpret_cast<const QRgb*>(picture.constScanLine(static_cast<int>(row))) + pictureX[a]);
    for (int line = 0; line < 8; ++line) _mm_prefetch(start + line * 64, _MM_HINT_T0);
  }
#else
  (void)left, (void)right, (void)row, (void)runs, (void)pictureX, (void)x0, (void)x1;
#endif
}
}  // namespace

void DrawViewRect(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY, std::int32_t w,
                  std::int32_t h, std::int32_t dw, std::int32_t dh, const QRect& rect, uchar* dst,
                  qsizetype stride, ScaledViewScratch& scratch, const HalfSizeLevel* level) {
  const QRect area = rect & QRect(0, 0, dw, dh);
  if (area.isEmpty()) return;
  const std::int32_t x0 = area.left(), x1 = area.right() + 1;
  // `dst` is the rect's top-left pixel; the part clipped away is skipped.
  dst += (area.top() - rect.top()) * stride + (area.left() - rect.left()) * qsizetype{4};
  if (w <= 0 || h <= 0) {
    for (int y = 0; y < area.height(); ++y) FillRow(reinterpret_cast<QRgb*>(dst + y * stride), x1 - x0);
    return;
  }
  if (level && w == 2 * std::int64_t{dw} && h == 2 * std::int64_t{dh} && level->MadeFrom(left, right)) {
    DrawFromLevel(*level, viewX - (viewX & 1), viewY - (viewY & 1), area, dst, stride);
    return;
  }
  PlanColumns(viewX, w, dw, scratch);
  const std::int32_t* const pictureX = scratch.pictureX.data();
  const std::int32_t count = x1 - x0;
  std::int32_t previous = -1;
  const QRgb* previousRow = nullptr;
  for (std::int32_t y = area.top(); y <= area.bottom(); ++y) {
    QRgb* const out = reinterpret_cast<QRgb*>(dst + (y - area.top()) * stride);
    const std::int32_t sy = NearestSource(y, h, dh);
    if (sy == previous) {
      CopyRow(out, previousRow, count);  // zooming in repeats the row just made
      continue;
    }
    previous = sy;
    previousRow = out;
    // Plain stores: the frame (8 MB at 1920 x 1080) stays in the cache for
    // the rows repeated from it and for the X server's copy that follows.
    const std::int64_t row = std::int64_t{viewY} + sy;
    if (row < 0 || row >= MapHeight) {
      FillRow(out, count);  // beyond the poles
    } else {
      // The start of the next picture row asked for now: each row begins
      // in memory the hardware has not yet seen coming, and waiting for
      // its first lines was a tenth of a frame.
      std::int32_t next = y < area.bottom() ? NearestSource(y + 1, h, dh) : sy;
      if (next == sy) next = sy + 1;
      PrefetchRowStarts(left, right, std::int64_t{viewY} + next, scratch.runs, pictureX, x0, x1);
      for (const ScaledViewScratch::Run& run : scratch.runs) {
        const std::int32_t a = std::max(run.x0, x0), b = std::min(run.x1, x1);
        if (a < b) DrawRun(run.right ? right : left, row, run, pictureX, a, b, out + (a - x0));
      }
    }
  }
}

void DrawViewScaled(const QImage& left, const QImage& right, std::int32_t viewX, std::int32_t viewY,
                    std::int32_t w, std::int32_t h, QImage& dst, ScaledViewScratch& scratch,
                    const HalfSizeLevel* level) {
  if (dst.isNull()) return;
  DrawViewRect(left, right, viewX, viewY, w, h, dst.width(), dst.height(), dst.rect(), dst.bits(),
               dst.bytesPerLine(), scratch, level);
}

}  // namespace crewmap::map
