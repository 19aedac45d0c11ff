#include "navi/outlined_text.h"

#include <QPainter>

#include "common/twips.h"
#include "ui/fonts.h"

namespace crewmap::navi {

OutlinedText::OutlinedText(float leftTwips, float topTwips, float widthTwips, float heightTwips, QWidget* parent)
    : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(TwipsToPixels(leftTwips), TwipsToPixels(topTwips), TwipsToPixels(widthTwips),
              TwipsToPixels(heightTwips));
  QFont font = ui::DesignFont(ui::kPGothic, 10.5, true);
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
  QPainter painter(this);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(font());
  // The outline: the letters in black one pixel off in each of 8 directions.
  painter.setPen(QColor::fromRgb(kOutline));
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (dx != 0 || dy != 0) painter.drawText(rect().translated(dx, dy), Qt::AlignCenter, text_);
  painter.setPen(QColor::fromRgb(kLetter));
  painter.drawText(rect(), Qt::AlignCenter, text_);
}

}  // namespace crewmap::navi
