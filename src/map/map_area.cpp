#include "map/map_area.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>

#include "common/twips.h"

namespace crewmap::map {

MapArea::MapArea(QWidget* parent) : QWidget(parent) {
  // Every pixel is drawn here: Qt need not clear behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool MapArea::Show(const MapView& view) {
  if (view == view_) return false;
  view_ = view;
  update();
  return true;
}

QImage MapArea::Grab() {
  QImage image(size(), QImage::Format_RGB32);
  if (!image.isNull()) Draw(image.rect(), image.bits(), image.bytesPerLine());
  return image;
}

void MapArea::Draw(const QRect& rect, uchar* dst, qsizetype stride) {
  // Pictures dropped since the redraw (a load being retried) show no map.
  const bool pictures = view_.pictures && view_.left && view_.right && view_.left->cacheKey() == view_.leftKey &&
                        view_.right->cacheKey() == view_.rightKey;
  const QRect shown = pictures ? rect & QRect(QPoint(0, 0), view_.area) : QRect();
  if (shown != rect) {
    // Outside the view of the last redraw (or with no map): the window's colour.
    const QRgb colour = palette().color(QPalette::Window).rgb();
    for (int y = 0; y < rect.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(dst + y * stride);
      std::fill(row, row + rect.width(), colour);
    }
  }
  if (!shown.isEmpty())
    DrawViewRect(*view_.left, *view_.right, view_.viewX, view_.viewY, view_.w, view_.h, view_.area.width(),
                 view_.area.height(), rect, dst, stride, scratch_, view_.level);
}

void MapArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // Painting into the window's backing store (a 32-bit image at one device
  // pixel per pixel, this area at a whole-pixel offset in it): draw the map
  // straight into it, so no frame is composed first and copied after.
  QPaintEngine* engine = painter.paintEngine();
  auto* store = engine && engine->paintDevice() && engine->paintDevice()->devType() == QInternal::Image
                    ? static_cast<QImage*>(engine->paintDevice())
                    : nullptr;
  const QTransform toStore = painter.deviceTransform();
  if (store && toStore.type() <= QTransform::TxTranslate && store->devicePixelRatio() == 1.0 &&
      devicePixelRatio() == 1.0 &&
      (store->format() == QImage::Format_RGB32 || store->format() == QImage::Format_ARGB32_Premultiplied)) {
    const QPoint offset(qRound(toStore.dx()), qRound(toStore.dy()));
    const qsizetype stride = store->bytesPerLine();
    // constBits: the pixels are written in place, never detached and copied.
    auto* const bits = const_cast<uchar*>(store->constBits());
    for (const QRect& piece : event->region()) {
      const QRect target = (piece & rect()).translated(offset) & store->rect();
      if (target.isEmpty()) continue;
      Draw(target.translated(-offset), bits + target.top() * stride + target.left() * qsizetype{4}, stride);
    }
    return;
  }
  // Anything else (a grab into a pixmap, a scaled display): draw the part
  // asked for into an image and paint that.
  for (const QRect& piece : event->region()) {
    const QRect part = piece & rect();
    if (part.isEmpty()) continue;
    QImage image(part.size(), QImage::Format_RGB32);
    Draw(part, image.bits(), image.bytesPerLine());
    painter.drawImage(part.topLeft(), image);
  }
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
