#include "map/circle_shape.h"

#include <QPainter>

namespace crewmap::map {

CircleShape::CircleShape(QWidget* parent, QColor fill, QColor border)
    : QWidget(parent), fill_(fill), border_(border) {
  setFixedSize(8, 8);
  // Clicks on a marker belong to the map underneath it.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CircleShape::SetFaded(bool faded) {
  if (faded == faded_) return;
  faded_ = faded;
  update();
}

void CircleShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setOpacity(faded_ ? 0.5 : 1.0);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(border_);
  painter.drawEllipse(QRectF(0, 0, 8, 8));
  painter.setBrush(fill_);
  painter.drawEllipse(QRectF(2, 2, 4, 4));
}

}  // namespace crewmap::map
