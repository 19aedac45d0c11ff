#include "map/place_marks.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ui/fonts.h"

namespace crewmap::map {

namespace {

constexpr QRgb kLetter = 0xFFFFFFC0;  // pale yellow, lighter than any sea or land
constexpr QRgb kOutline = 0xFF000000;
constexpr QRgb kMarkFill = 0xFFFFFF80;

// Draws the outline and letter pixels of a label row over `to`: sixteen at
// a time without a branch per pixel where it can.
void DrawLabelRow(QRgb* to, const std::uint8_t* from, int count) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
  const __m128i outline = _mm_set1_epi32(static_cast<int>(kOutline));
  const __m128i letter = _mm_set1_epi32(static_cast<int>(kLetter));
  for (; i + 16 <= count; i += 16) {
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i clear = _mm_cmpeq_epi8(m, zero);
    if (_mm_movemask_epi8(clear) == 0xFFFF) continue;
    const __m128i isOutline = _mm_cmpeq_epi8(m, one);
    // Byte masks widened to one 32-bit mask a pixel, four pixels at a time.
    const __m128i clearWords[2] = {_mm_unpacklo_epi8(clear, clear),
                                   _mm_unpackhi_epi8(clear, clear)};
    const __m128i outlineWords[2] = {_mm_unpacklo_epi8(isOutline, isOutline),
                                     _mm_unpackhi_epi8(isOutline, isOutline)};
    for (int q = 0; q < 4; ++q) {
      const __m128i c = q % 2 == 0 ? _mm_unpacklo_epi16(clearWords[q / 2], clearWords[q / 2])
                                   : _mm_unpackhi_epi16(clearWords[q / 2], clearWords[q / 2]);
      const __m128i o = q % 2 == 0 ? _mm_unpacklo_epi16(outlineWords[q / 2], outlineWords[q / 2])
                                   : _mm_unpackhi_epi16(outlineWords[q / 2], outlineWords[q / 2]);
      auto* at = reinterpret_cast<__m128i*>(to + i + 4 * q);
      const __m128i colour = _mm_or_si128(_mm_and_si128(o, outline), _mm_andnot_si128(o, letter));
      _mm_storeu_si128(
          at, _mm_or_si128(_mm_and_si128(c, _mm_loadu_si128(at)), _mm_andnot_si128(c, colour)));
    }
  }
#endif
  static constexpr QRgb kColours[3] = {0, kOutline, kLetter};
  for (; i < count; ++i)
    if (from[i] != 0) to[i] = kColours[from[i]];
}

}  // namespace

const PlaceLabelRef& PlaceLabels::For(const std::string& name) {
  const auto found = labels_.find(name);
  if (found != labels_.end()) return found->second;
  QFont font = ui::DesignFont(ui::kPGothic, 9);
  font.setStyleStrategy(QFont::NoAntialias);
  const QString text = QString::fromStdString(name);
  const QFontMetrics metrics(font);
  QImage image(metrics.horizontalAdvance(text) + 2, metrics.height() + 2,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setFont(font);
    const int base = 1 + metrics.ascent();
    painter.setPen(QColor::fromRgb(kOutline));
    for (const auto& [dx, dy] :
         {std::pair(0, -1), std::pair(0, 1), std::pair(-1, 0), std::pair(1, 0)})
      painter.drawText(1 + dx, base + dy, text);
    painter.setPen(QColor::fromRgb(kLetter));
    painter.drawText(1, base, text);
  }
  auto label = std::make_shared<PlaceLabel>();
  label->w = image.width();
  label->h = image.height();
  label->pixels.reserve(static_cast<std::size_t>(label->w) * static_cast<std::size_t>(label->h));
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      label->pixels.push_back(qAlpha(row[x]) == 0 ? 0 : (row[x] | 0xFF000000u) == kOutline ? 1 : 2);
  }
  return labels_.emplace(name, std::move(label)).first->second;
}

void DrawPlaceMarks(std::span<const PlaceMark> marks, const QRect& rect, uchar* dst,
                    qsizetype stride) {
  const auto pixel = [&](int x, int y) -> QRgb* {
    return reinterpret_cast<QRgb*>(dst + (y - rect.top()) * stride) + (x - rect.left());
  };
  constexpr int r = kPlaceMarkRadius;
  for (const PlaceMark& mark : marks) {
    const PlaceSpot& s = mark.spot;
    // A diamond: outlined in black, filled pale yellow.
    const QRect box = QRect(s.x - r, s.y - r, 2 * r + 1, 2 * r + 1) & rect;
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x) {
        const int d = std::abs(x - s.x) + std::abs(y - s.y);
        if (d <= r) *pixel(x, y) = d == r ? kOutline : kMarkFill;
      }
    if (!s.named || !mark.label) continue;
    const PlaceLabel& l = *mark.label;
    const QRect label = QRect(s.labelLeft, s.labelTop, l.w, l.h) & rect;
    for (int y = label.top(); y <= label.bottom(); ++y) {
      const std::uint8_t* from = l.pixels.data() + static_cast<std::size_t>(y - s.labelTop) *
                                                       static_cast<std::size_t>(l.w);
      DrawLabelRow(pixel(label.left(), y), from + (label.left() - s.labelLeft), label.width());
    }
  }
}

}  // namespace crewmap::map
