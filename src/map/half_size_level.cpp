#include "map/half_size_level.h"

#include <algorithm>

#include "map/row_copies.h"
#include "map/transform.h"

namespace crewmap::map {

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
}  // namespace

HalfSizeLevel MakeHalfSizeLevel(const QImage& left, const QImage& right) {
  HalfSizeLevel level;
  level.left = HalveOne(left);
  level.right = HalveOne(right);
  level.leftKey = left.cacheKey();
  level.rightKey = right.cacheKey();
  return level;
}

// Area pixel (x, y) shows map column evenX + 2x + 1 and map row
// evenY + 2y + 1, both odd, so level column (evenX / 2 + x) of the world and
// level row evenY / 2 + y.
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

}  // namespace crewmap::map
