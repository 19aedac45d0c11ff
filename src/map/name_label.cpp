#include "map/name_label.h"

#include <QPainter>

namespace crewmap::map {

void NameLabel::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  const QRgb colour = palette().color(QPalette::WindowText).rgba();
  if (copy_.isNull() || copy_.size() != size() * ratio || text_ != text() || colour_ != colour ||
      font_ != font().key()) {
    copy_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    copy_.setDevicePixelRatio(ratio);
    copy_.fill(Qt::transparent);
    QPainter painter(&copy_);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
    text_ = text();
    colour_ = colour;
    font_ = font().key();
  }
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), copy_);
}

}  // namespace crewmap::map
