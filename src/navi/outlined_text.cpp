#include "navi/outlined_text.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "common/twips.h"
#include "ui/fonts.h"

namespace crewmap::navi {

OutlinedText::OutlinedText(float leftTwips, float topTwips, float widthTwips, float heightTwips, QWidget* parent)
    : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(TwipsToPixels(leftTwips), TwipsToPixels(topTwips), TwipsToPixels(widthTwips),
              TwipsToPixels(heightTwips));
  QFont font = ui::DesignFont(ui::kPGothic, 12, true);
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
  // outline one screen pixel wide (two from 200 %). Outlines made of copies
  // shifted by a whole logical pixel would be 1.5 screen pixels off at
  // 150 %: ragged, and closing the gaps inside a colon.
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
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (qAlpha(in[y * stride + x]) == 0) continue;
      // A letter pixel: the clear pixels around it become outline.
      for (int ny = std::max(0, y - reach); ny <= std::min(h - 1, y + reach); ++ny)
        for (int nx = std::max(0, x - reach); nx <= std::min(w - 1, x + reach); ++nx)
          if (qAlpha(in[ny * stride + nx]) == 0) out[ny * stride + nx] = kOutline;
    }
  }
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), drawn);
}

}  // namespace crewmap::navi
