#include "navi/outlined_text.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "common/twips.h"
#include "ui/fonts.h"

namespace crewmap::navi {

OutlinedText::OutlinedText(float leftTwips, float topTwips, float widthTwips, float heightTwips, QWidget* parent)
    : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(TwipsToPixels(leftTwips), TwipsToPixels(topTwips), TwipsToPixels(widthTwips),
              TwipsToPixels(heightTwips));
  // Large enough that a colon's dots stand apart in every face tried.
  QFont font = ui::DesignFont(ui::kPGothic, 14, true);
  font.setStyleStrategy(QFont::NoAntialias);
  setFont(font);
}

bool OutlinedText::setText(const QString& text) {
  if (text == text_) return false;
  text_ = text;
  update();
  return true;
}

void OutlinedText::paintEvent(QPaintEvent*) {
  if (text_.isEmpty()) return;
  // Drawn at the screen's resolution: the letters, then around them a black
  // outline one screen pixel wide (two from 200 %), left open across gaps
  // narrower than two outlines. Outlines made of copies shifted by a whole
  // logical pixel would be 1.5 screen pixels off at 150 %: ragged, and
  // closing the gap inside a colon into a bar.
  const qreal ratio = devicePixelRatioF();
  QImage letters((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  letters.setDevicePixelRatio(ratio);
  letters.fill(Qt::transparent);
  {
    QPainter painter(&letters);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font());
    painter.setPen(QColor::fromRgb(kLetter));
    painter.drawText(rect(), Qt::AlignCenter, text_);
  }
  const int reach = std::max(1, static_cast<int>(ratio));
  QImage drawn = letters.copy();
  const int w = letters.width(), h = letters.height();
  const qsizetype stride = letters.bytesPerLine() / 4;
  const QRgb* in = reinterpret_cast<const QRgb*>(letters.constBits());
  QRgb* out = reinterpret_cast<QRgb*>(drawn.bits());
  const auto letter = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && qAlpha(in[y * stride + x]) != 0; };
  // A clear pixel with letter on both sides, closer together than two
  // outlines: outlined, the gap (a colon's, a small counter's) would close.
  const auto gap = [&](int x, int y) {
    for (const auto& [dx, dy] : {std::pair(0, 1), std::pair(1, 0)})
      for (int a = 1; a <= 2 * reach; ++a)
        for (int b = 1; a + b <= 2 * reach + 1; ++b)
          if (letter(x - a * dx, y - a * dy) && letter(x + b * dx, y + b * dy)) return true;
    return false;
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!letter(x, y)) continue;
      // A letter pixel: the clear pixels around it become outline.
      for (int ny = std::max(0, y - reach); ny <= std::min(h - 1, y + reach); ++ny)
        for (int nx = std::max(0, x - reach); nx <= std::min(w - 1, x + reach); ++nx)
          if (!letter(nx, ny) && out[ny * stride + nx] == 0 && !gap(nx, ny)) out[ny * stride + nx] = kOutline;
    }
  }
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), drawn);
}

}  // namespace crewmap::navi
