#include "navi/cut_out.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace crewmap::navi {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
bool Drawn(QRgb pixel) { return (pixel | 0xFF000000u) != kWhite; }

// The screen pixels a logical pixel may cover, whatever the rounding.
int First(int logical, double ratio) { return static_cast<int>(std::floor(logical * ratio)); }
int End(int logical, double ratio, int limit) {
  return std::min(limit, static_cast<int>(std::ceil((logical + 1) * ratio)));
}

// Each white pixel next to a drawn one takes that one's colour, `steps`
// times over: the drawing grows by `steps` pixels into the white.
QImage Grow(QImage image, int steps) {
  const int w = image.width(), h = image.height();
  const qsizetype stride = image.bytesPerLine() / 4;
  static constexpr int kDx[8] = {-1, 1, 0, 0, -1, 1, -1, 1};  // sides before corners
  static constexpr int kDy[8] = {0, 0, -1, 1, -1, -1, 1, 1};
  for (int step = 0; step < steps; ++step) {
    const QImage from = image.copy();
    const QRgb* in = reinterpret_cast<const QRgb*>(from.constBits());
    QRgb* out = reinterpret_cast<QRgb*>(image.bits());
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if (Drawn(in[y * stride + x])) continue;
        for (int k = 0; k < 8; ++k) {
          const int nx = x + kDx[k], ny = y + kDy[k];
          if (nx < 0 || ny < 0 || nx >= w || ny >= h || !Drawn(in[ny * stride + nx])) continue;
          out[y * stride + x] = in[ny * stride + nx];
          break;
        }
      }
    }
  }
  return image;
}

}  // namespace

CutOut CutOutWhite(const QImage& drawn, QSize size) {
  const QImage image = drawn.convertToFormat(QImage::Format_RGB32);
  const double ratio = drawn.devicePixelRatio();
  const int dw = image.width(), dh = image.height();
  std::vector<QRect> runs;
  std::vector<char> column(static_cast<std::size_t>(dw));  // a drawn pixel in this screen column of the row
  for (int y = 0; y < size.height(); ++y) {
    std::fill(column.begin(), column.end(), 0);
    for (int dy = First(y, ratio); dy < End(y, ratio, dh); ++dy) {
      const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(dy));
      for (int dx = 0; dx < dw; ++dx) column[static_cast<std::size_t>(dx)] |= Drawn(row[dx]);
    }
    int start = -1;
    for (int x = 0; x <= size.width(); ++x) {
      bool keep = false;
      if (x < size.width())
        for (int dx = First(x, ratio); dx < End(x, ratio, dw) && !keep; ++dx) keep = column[static_cast<std::size_t>(dx)];
      if (keep && start < 0) start = x;
      if (!keep && start >= 0) {
        runs.emplace_back(start, y, x - start, 1);
        start = -1;
      }
    }
  }
  CutOut cut;
  cut.region.setRects(runs.data(), static_cast<int>(runs.size()));
  if (ratio != 1.0) {
    // A kept logical pixel's screen pixels lie within its widest span of a
    // drawn one (one pixel at 150 %).
    int span = 1;
    for (int x = 0; x < std::max(size.width(), size.height()); ++x)
      span = std::max(span, End(x, ratio, INT_MAX) - First(x, ratio));
    cut.filled = Grow(image, span - 1);
    cut.filled.setDevicePixelRatio(ratio);
  }
  return cut;
}

}  // namespace crewmap::navi
