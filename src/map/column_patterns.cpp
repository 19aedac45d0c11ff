#include "map/column_patterns.h"

#include <algorithm>
#include <iterator>

#include "map/row_copies.h"

namespace crewmap::map {

namespace {
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
}  // namespace

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

}  // namespace crewmap::map
