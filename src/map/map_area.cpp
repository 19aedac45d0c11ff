#include "map/map_area.h"

#include <QMouseEvent>
#include <QPainter>

#include "common/twips.h"

namespace crewmap::map {

MapArea::MapArea(QWidget* parent) : QWidget(parent) {
  // Every pixel comes from the surface: Qt need not clear behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapArea::FitSurface() {
  if (surface_.size() == size()) return;
  surface_ = QImage(size(), QImage::Format_RGB32);
  surface_.fill(palette().color(QPalette::Window));
}

void MapArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  painter.drawImage(area.topLeft(), surface_, area);
}

void MapArea::mousePressEvent(QMouseEvent* event) {
  if (onMouseDown) {
    const QPoint p = event->position().toPoint();
    onMouseDown(event->button(), PixelsToTwips(p.x()), PixelsToTwips(p.y()));
  }
}

void MapArea::mouseReleaseEvent(QMouseEvent* event) {
  if (onMouseUp) onMouseUp(event->button());
}

}  // namespace crewmap::map
