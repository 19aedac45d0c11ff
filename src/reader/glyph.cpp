#include "reader/glyph.h"

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

class CellReader {
 public:
  CellReader(const PixelRead& read, std::int32_t x, std::int32_t y) : read_(read), x_(x), y_(y) {}

  std::uint32_t operator()(Probe p) const {
    // Cell origins near the ends of the 32-bit range must not overflow; such
    // a pixel lies outside any window anyway.
    const std::int64_t px = std::int64_t{x_} + p.dx;
    const std::int64_t py = std::int64_t{y_} + p.dy;
    if (px > std::numeric_limits<std::int32_t>::max() || py > std::numeric_limits<std::int32_t>::max())
      return platform::kInvalidColor;
    return read_(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py));
  }

 private:
  const PixelRead& read_;
  std::int32_t x_;
  std::int32_t y_;
};

bool IsWhite(std::uint32_t c) { return c == kWhite; }

}  // namespace

std::string ReadGlyph(const PixelRead& read, std::int32_t x, std::int32_t y) {
  const CellReader px(read, x, y);

  // 1. Only the comma reaches below the body.
  const std::uint32_t p1 = px(P1);
  const std::uint32_t p2 = px(P2);
  if (IsWhite(p2)) return p1 == kBlack ? "," : "";
  // 2. Only "2" has its bottom row starting in the first column.
  if (IsWhite(p1)) return "2";
  // 3. The bottom row tells "1", "4" and "7" apart from the round glyphs.
  const bool p3 = IsWhite(px(P3));
  const bool p4 = IsWhite(px(P4));
  if (!p3) {
    if (p4) return "1";
    return IsWhite(px(P5)) ? "4" : "";
  }
  if (!p4) return "7";
  // 4. A flat top is "5".
  if (IsWhite(px(P6))) return "5";
  // 5. The middle rows separate "0", "6", "9", "8" and "3".
  const bool p7 = IsWhite(px(P7));
  const bool p8 = IsWhite(px(P8));
  const bool p9 = IsWhite(px(P9));
  if (p8) return p9 ? "0" : "6";
  if (p9) return "9";
  return p7 ? "8" : "3";
}

std::string ReadGlyph(platform::WindowSource& source, platform::DeviceContext dc, std::int32_t x,
                      std::int32_t y) {
  const PixelRead read = [&source, dc](std::int32_t px, std::int32_t py) {
    return source.GetPixel(dc, px, py);
  };
  return ReadGlyph(read, x, y);
}

}  // namespace crewmap::reader
