#include "navi/shape.h"

#include <QPainter>
#include <algorithm>

#include "common/twips.h"

namespace crewmap::navi {

Shape::Shape(Kind kind, float leftTwips, float topTwips, float widthTwips, float heightTwips,
             QWidget* parent)
    : QWidget(parent), kind_(kind), left_(leftTwips), top_(topTwips) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(TwipsToPixels(leftTwips), TwipsToPixels(topTwips), TwipsToPixels(widthTwips),
              TwipsToPixels(heightTwips));
}

void Shape::setFill(std::optional<QColor> fill) {
  fill_ = fill;
  update();
}

void Shape::setBorder(std::optional<QColor> colour, int widthPixels) {
  border_ = colour;
  borderWidth_ = std::max(1, widthPixels);
  update();
}

void Shape::setLeftTop(float leftTwips, float topTwips) {
  left_ = leftTwips;
  top_ = topTwips;
  move(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
}

void Shape::paintEvent(QPaintEvent*) {
  QRect box = rect();
  if (kind_ == Kind::Circle) {
    const int side = std::min(box.width(), box.height());
    box = QRect(box.x() + (box.width() - side) / 2, box.y() + (box.height() - side) / 2, side,
                side);
  }
  QPainter painter(this);
  // Hard edges: the window's white is cut out pixel by pixel, so blended
  // edge pixels would show as a pale fringe over the game.
  painter.setRenderHint(QPainter::Antialiasing, false);
  if (fill_) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(*fill_);
    painter.drawEllipse(box.adjusted(0, 0, -1, -1));
  }
  if (border_) {
    // The border lies inside the box: its centre line is inset by half its width.
    QPen pen(*border_);
    pen.setWidth(borderWidth_);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double inset = borderWidth_ / 2.0;
    painter.drawEllipse(QRectF(box).adjusted(inset, inset, -inset, -inset));
  }
}

}  // namespace crewmap::navi
