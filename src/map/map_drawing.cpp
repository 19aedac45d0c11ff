#include "map/map_drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "map/composition.h"
#include "map/slot_colours.h"
#include "map/transform.h"

namespace crewmap::map {

namespace {
void FillRow(QRgb* row, std::int64_t count) { std::fill(row, row + count, SeaColour); }

void CopyRow(QRgb* dest, const QRgb* from, std::int64_t count) {
  std::memcpy(dest, from, static_cast<std::size_t>(count) * sizeof(QRgb));
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
// out[i] = from[2 i] for i < count, reading no further than from[2 count - 2].
void CopyEveryOther(QRgb* out, const QRgb* from, std::int64_t count) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  // Four at a time from eight; the last group stops one short so the
  // unused eighth pixel is never read past the row's end.
  for (; i + 5 <= count; i += 4) {
    const __m128 a = _mm_loadu_ps(reinterpret_cast<const float*>(from + 2 * i));
    const __m128 b = _mm_loadu_ps(reinterpret_cast<const float*>(from + 2 * i + 4));
    _mm_storeu_ps(reinterpret_cast<float*>(out + i), _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  }
#endif
  for (; i < count; ++i) out[i] = from[2 * i];
}

void Gather(QRgb* out, const QRgb* from, const std::int32_t* columns, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) out[i] = from[columns[i]];
}

// The column patterns of the usual zoom steps on areas whose width they
// divide: each group of `out` destination columns takes picture columns
// first + offsets[i] and the next group starts `in` columns on. Such a group
// is one load of four pixels, one shuffle and one store.
struct ColumnPattern {
  std::int32_t out, in;
  std::int32_t offsets[4];
};
constexpr ColumnPattern kPatterns[] = {
    {},                          // 0: none
    {3, 4, {0, 2, 3, 3}},        // 1: zoom 0.75, three of every four columns
    {3, 2, {0, 1, 1, 1}},        // 2: zoom 1.5, two columns to three
    {4, 2, {0, 0, 1, 1}},        // 3: zoom 2, each column twice
};

// Whether the run's columns from `start` on follow pattern `p`.
bool Follows(const std::int32_t* pictureX, std::int32_t start, std::int32_t end, const ColumnPattern& p) {
  for (std::int32_t x = start; x < end; ++x) {
    const std::int32_t group = (x - start) / p.out;
    if (pictureX[x] != pictureX[start] + group * p.in + p.offsets[(x - start) % p.out]) return false;
  }
  return true;
}

void FindPattern(const std::int32_t* pictureX, ScaledViewScratch::Run& run) {
  for (int p = 1; p < static_cast<int>(std::size(kPatterns)); ++p) {
    for (std::int32_t start = run.x0; start < run.x0 + kPatterns[p].out && start < run.x1; ++start) {
      if (Follows(pictureX, start, run.x1, kPatterns[p])) {
        run.pattern = p;
        run.phase = start;
        return;
      }
    }
  }
}

template <int Pattern>
void ExpandGroups(QRgb* out, const QRgb* from, std::int32_t groups) {
  constexpr ColumnPattern p = kPatterns[Pattern];
#if defined(__SSE2__)
  constexpr int shuffle = p.offsets[0] | p.offsets[1] << 2 | p.offsets[2] << 4 | p.offsets[3] << 6;
  std::int32_t g = 0;
  if constexpr (Pattern == 1) {
    // Zoom 0.75 keeps 12 of every 16 columns (all but 1, 5, 9 and 13): four
    // loads, five shuffles and three stores for four groups.
    for (; g + 4 <= groups; g += 4) {
      const float* f = reinterpret_cast<const float*>(from + g * 4);
      _mm_prefetch(reinterpret_cast<const char*>(f) + 1024, _MM_HINT_T0);
      const __m128 a = _mm_loadu_ps(f), b = _mm_loadu_ps(f + 4), c = _mm_loadu_ps(f + 8), d = _mm_loadu_ps(f + 12);
      const __m128 a3b0 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 3, 3));  // a3 a3 b0 b0
      const __m128 c3d0 = _mm_shuffle_ps(c, d, _MM_SHUFFLE(0, 0, 3, 3));  // c3 c3 d0 d0
      float* o = reinterpret_cast<float*>(out + g * 3);
      _mm_storeu_ps(o, _mm_shuffle_ps(a, a3b0, _MM_SHUFFLE(2, 0, 2, 0)));      // a0 a2 a3 b0
      _mm_storeu_ps(o + 4, _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 0, 3, 2)));     // b2 b3 c0 c2
      _mm_storeu_ps(o + 8, _mm_shuffle_ps(c3d0, d, _MM_SHUFFLE(3, 2, 2, 0)));  // c3 d0 d2 d3
    }
  }
  for (; g < groups; ++g) {
    // Ahead of the loads (a hint; never faults): the picture rows come from
    // memory, and the loop alone keeps too few reads in flight.
    _mm_prefetch(reinterpret_cast<const char*>(from + g * p.in) + 1024, _MM_HINT_T0);
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + g * p.in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + g * p.out), _mm_shuffle_epi32(four, shuffle));
  }
#else
  for (std::int32_t g = 0; g < groups; ++g)
    for (int i = 0; i < p.out; ++i) out[g * p.out + i] = from[g * p.in + p.offsets[i]];
#endif
}

// Destination columns [a, b) of a patterned run; `from` is the picture row
// of `width` pixels. Every read stays inside the row and every write inside
// [a, b): a group reads four pixels and writes four, whatever it keeps.
void DrawPatterned(const ScaledViewScratch::Run& run, const std::int32_t* pictureX, const QRgb* from,
                   std::int32_t width, std::int32_t a, std::int32_t b, QRgb* out) {
  const ColumnPattern& p = kPatterns[run.pattern];
  std::int32_t x = a;
  // Up to the first group boundary at or after a.
  const std::int32_t into = ((x - run.phase) % p.out + p.out) % p.out;
  const std::int32_t first = into == 0 ? x : x + p.out - into;
  for (; x < first && x < b; ++x) out[x - a] = from[pictureX[x]];
  // Whole groups whose four-pixel write and read stay inside.
  std::int32_t groups = 0;
  if (x < b) {
    groups = (b - x - 4) / p.out + 1;
    if (b - x < 4) groups = 0;
    const std::int32_t readable = (width - 4 - pictureX[x]) / p.in + 1;
    if (width - pictureX[x] < 4) groups = 0;
    groups = std::max(0, std::min(groups, readable));
  }
  if (groups > 0) {
    QRgb* const o = out + (x - a);
    const QRgb* const f = from + pictureX[x];
    switch (run.pattern) {
      case 1: ExpandGroups<1>(o, f, groups); break;
      case 2: ExpandGroups<2>(o, f, groups); break;
      default: ExpandGroups<3>(o, f, groups); break;
    }
    x += groups * p.out;
  }
  for (; x < b; ++x) out[x - a] = from[pictureX[x]];
}

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

namespace {
QImage HalveOne(const QImage& picture) {
  // Picture pixels (2i + 1, 2j + 1) that exist.
  QImage level(picture.width() / 2, picture.height() / 2, QImage::Format_RGB32);
  for (int j = 0; j < level.height(); ++j) {
    const QRgb* from = reinterpret_cast<const QRgb*>(picture.constScanLine(2 * j + 1)) + 1;
    QRgb* to = reinterpret_cast<QRgb*>(level.scanLine(j));
    CopyEveryOther(to, from, level.width());
  }
  return level;
}

constexpr std::int32_t LevelWorld = MapWidth / 2;  // level columns in the world
constexpr std::int32_t LevelHalf = HalfWidth / 2;  // ... in one half

// Zoom 0.5 from the level, for an even origin (evenX, evenY): area pixel
// (x, y) shows map column evenX + 2x + 1 and map row evenY + 2y + 1, both
// odd, so level column (evenX / 2 + x) of the world and level row evenY / 2 + y.
void DrawFromLevel(const HalfSizeLevel& level, std::int64_t evenX, std::int64_t evenY, const QRect& area,
                   uchar* dst, qsizetype stride) {
  const std::int32_t x0 = area.left(), count = area.width();
  const std::int64_t first = ((evenX / 2 + x0) % LevelWorld + LevelWorld) % LevelWorld;
  for (std::int32_t y = area.top(); y <= area.bottom(); ++y) {
    QRgb* const out = reinterpret_cast<QRgb*>(dst + (y - area.top()) * stride);
    const std::int64_t mapRow = evenY + 2 * std::int64_t{y} + 1;
    if (mapRow < 0 || mapRow >= MapHeight) {
      FillRow(out, count);  // beyond the poles
      continue;
    }
    const std::int64_t row = mapRow / 2;
    std::int64_t column = first;
    for (std::int32_t x = 0; x < count;) {
      const bool leftHalf = column < LevelHalf;
      const QImage& src = leftHalf ? level.left : level.right;
      const std::int64_t srcX = leftHalf ? column : column - LevelHalf;
      const std::int64_t run = std::min<std::int64_t>(count - x, LevelHalf - srcX);
      std::int64_t available = 0;
      if (row < src.height() && srcX < src.width()) available = std::min<std::int64_t>(run, src.width() - srcX);
      if (available > 0)
        CopyRow(out + x, reinterpret_cast<const QRgb*>(src.constScanLine(static_cast<int>(row))) + srcX, available);
      if (available < run) FillRow(out + x + available, run - available);  // past a small picture
      x += static_cast<std::int32_t>(run);
      column = (column + run) % LevelWorld;
    }
  }
}
}  // namespace

HalfSizeLevel MakeHalfSizeLevel(const QImage& left, const QImage& right) {
  HalfSizeLevel level;
  level.left = HalveOne(left);
  level.right = HalveOne(right);
  level.leftKey = left.cacheKey();
  level.rightKey = right.cacheKey();
  return level;
}

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
