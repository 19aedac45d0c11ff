#include "reader/glyph.h"

#include <algorithm>
#include <limits>

namespace crewmap::reader {
namespace {

// Probe pixels as offsets from the cell origin.
struct Probe {
  int dx;
  int dy;
};
constexpr Probe P1{1, 8};  // bottom row, first column
constexpr Probe P2{2, 9};  // below the body: only the comma's tail reaches it
constexpr Probe P3{2, 8};
constexpr Probe P4{3, 8};
constexpr Probe P5{4, 8};
constexpr Probe P6{1, 0};  // top row, first column
constexpr Probe P7{1, 3};
constexpr Probe P8{1, 4};
constexpr Probe P9{4, 4};

constexpr Probe kProbes[] = {P1, P2, P3, P4, P5, P6, P7, P8, P9};

constexpr std::size_t kMaxStep = 3;

// Reads the probes of one step of the decision for the cell at (x, y).
class CellReader {
 public:
  CellReader(const PixelStepRead& read, std::int32_t x, std::int32_t y) : read_(read), x_(x), y_(y) {}

  template <std::size_t N>
  void operator()(const Probe (&probes)[N], std::uint32_t (&colors)[N]) const {
    static_assert(N <= kMaxStep);
    platform::PixelPoint points[kMaxStep];
    std::size_t slot[kMaxStep];
    std::size_t count = 0;
    for (std::size_t i = 0; i < N; ++i) {
      // Cell origins near the end of the 32-bit range must not overflow; such
      // a pixel lies outside any window anyway, so it is not read at all.
      const std::int64_t px = std::int64_t{x_} + probes[i].dx;
      const std::int64_t py = std::int64_t{y_} + probes[i].dy;
      colors[i] = platform::kInvalidColor;
      if (px > std::numeric_limits<std::int32_t>::max() || py > std::numeric_limits<std::int32_t>::max()) continue;
      points[count] = {static_cast<std::int32_t>(px), static_cast<std::int32_t>(py)};
      slot[count++] = i;
    }
    if (count == 0) return;
    std::uint32_t got[kMaxStep];
    read_(points, count, got);
    for (std::size_t k = 0; k < count; ++k) colors[slot[k]] = got[k];
  }

 private:
  const PixelStepRead& read_;
  std::int32_t x_;
  std::int32_t y_;
};

bool IsWhite(std::uint32_t c) { return c == kWhite; }

}  // namespace

std::string ReadGlyph(const PixelStepRead& read, std::int32_t x, std::int32_t y) {
  const CellReader cell(read, x, y);

  // 1. Only the comma reaches below the body.
  std::uint32_t step1[2];
  cell({P1, P2}, step1);
  const std::uint32_t p1 = step1[0];
  if (IsWhite(step1[1])) return p1 == kBlack ? "," : "";
  // 2. Only "2" has its bottom row starting in the first column.
  if (IsWhite(p1)) return "2";
  // 3. The bottom row tells "1", "4" and "7" apart from the round glyphs.
  std::uint32_t step3[3];
  cell({P3, P4, P5}, step3);
  const bool p3 = IsWhite(step3[0]);
  const bool p4 = IsWhite(step3[1]);
  if (!p3) {
    if (p4) return "1";
    return IsWhite(step3[2]) ? "4" : "";
  }
  if (!p4) return "7";
  // 4. A flat top is "5".
  std::uint32_t step4[1];
  cell({P6}, step4);
  if (IsWhite(step4[0])) return "5";
  // 5. The middle rows separate "0", "6", "9", "8" and "3".
  std::uint32_t step5[3];
  cell({P7, P8, P9}, step5);
  const bool p7 = IsWhite(step5[0]);
  const bool p8 = IsWhite(step5[1]);
  const bool p9 = IsWhite(step5[2]);
  if (p8) return p9 ? "0" : "6";
  if (p9) return "9";
  return p7 ? "8" : "3";
}

std::string ReadGlyph(const PixelRead& read, std::int32_t x, std::int32_t y) {
  const PixelStepRead oneByOne = [&read](const platform::PixelPoint* points, std::size_t count,
                                         std::uint32_t* colors) {
    for (std::size_t i = 0; i < count; ++i) colors[i] = read(points[i].x, points[i].y);
  };
  return ReadGlyph(oneByOne, x, y);
}

platform::PixelRect ProbeArea(std::int32_t x, std::int32_t y, int cells, int pitch) {
  if (cells <= 0) return {};
  int minDx = kProbes[0].dx, maxDx = minDx, minDy = kProbes[0].dy, maxDy = minDy;
  for (const Probe& p : kProbes) {
    minDx = std::min(minDx, p.dx);
    maxDx = std::max(maxDx, p.dx);
    minDy = std::min(minDy, p.dy);
    maxDy = std::max(maxDy, p.dy);
  }
  const std::int64_t firstCell = x;
  const std::int64_t lastCell = firstCell + std::int64_t{pitch} * (cells - 1);
  const std::int64_t left = std::min(firstCell, lastCell) + minDx;
  const std::int64_t right = std::max(firstCell, lastCell) + maxDx;  // inclusive
  const std::int64_t top = std::int64_t{y} + minDy;
  const std::int64_t bottom = std::int64_t{y} + maxDy;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  if (left < kMin || top < kMin || right > kMax || bottom > kMax || right - left + 1 > kMax) return {};
  return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
          static_cast<std::int32_t>(right - left + 1), static_cast<std::int32_t>(bottom - top + 1)};
}

std::string ReadGlyph(platform::WindowSource& source, platform::DeviceContext dc, std::int32_t x,
                      std::int32_t y) {
  const PixelStepRead together = [&source, dc](const platform::PixelPoint* points, std::size_t count,
                                               std::uint32_t* colors) {
    source.GetPixels(dc, points, count, colors);
  };
  return ReadGlyph(together, x, y);
}

}  // namespace crewmap::reader
