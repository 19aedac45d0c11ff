#include "map/map_area.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>

#include <array>

#include "common/twips.h"
#include "map/slot_colours.h"

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

void MapArea::ShowTrails(std::vector<TrailPiece> pieces) {
  if (pieces == trails_) return;
  // Only the parts the old and the new pieces cover need painting again.
  QRegion changed;
  for (const std::vector<TrailPiece>* list : {&trails_, &pieces})
    for (const TrailPiece& p : *list)
      changed += QRectF(QPointF(p.x0, p.y0), QPointF(p.x1, p.y1)).normalized().toAlignedRect().adjusted(-2, -2, 2, 2);
  trails_ = std::move(pieces);
  update(changed);
}

QImage MapArea::Grab() {
  QImage image(size(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  Draw(image.rect(), image.bits(), image.bytesPerLine());
  QPainter painter(&image);
  DrawTrails(painter, QRegion(image.rect()));
  return image;
}

void MapArea::DrawTrails(QPainter& painter, const QRegion& clip) const {
  if (trails_.empty()) return;
  // One call per slot and strength: the newest band nearly opaque, the
  // oldest faint. Two pixels wide in the slot's deeper colour, which shows
  // on sea and land alike.
  std::array<std::array<std::vector<QLineF>, kTrailBands>, Trails::kSlots> lines;
  for (const TrailPiece& p : trails_) lines[p.slot][p.band].emplace_back(p.x0, p.y0, p.x1, p.y1);
  painter.save();
  painter.setClipRegion(clip);
  painter.setRenderHint(QPainter::Antialiasing);
  for (int slot = 0; slot < Trails::kSlots; ++slot) {
    for (int band = 0; band < kTrailBands; ++band) {
      if (lines[slot][band].empty()) continue;
      QColor colour = QColor::fromRgb(static_cast<QRgb>(kSlotColours[slot].border));
      colour.setAlpha(230 - band * 190 / (kTrailBands - 1));
      painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
      painter.drawLines(lines[slot][band].data(), static_cast<int>(lines[slot][band].size()));
    }
  }
  painter.restore();
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
    DrawTrails(painter, event->region());
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
  DrawTrails(painter, event->region());
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
