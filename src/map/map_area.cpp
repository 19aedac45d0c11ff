#include "map/map_area.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "common/twips.h"
#include "map/trail_drawing.h"

namespace crewmap::map {

namespace {
// The rows a place's mark and name cover, area pixels.
int PlaceTop(const PlaceMark& m) {
  return std::min(m.spot.y - kPlaceMarkRadius, m.spot.named ? m.spot.labelTop : m.spot.y);
}
int PlaceBottom(const PlaceMark& m) {
  return std::max(m.spot.y + kPlaceMarkRadius, m.spot.named && m.label ? m.spot.labelTop + m.label->h - 1 : m.spot.y);
}
}  // namespace

MapArea::MapArea(QWidget* parent) : QWidget(parent) {
  // Every pixel is drawn here: Qt need not clear behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool MapArea::Show(const MapView& view) {
  if (view == view_) return false;
  view_ = view;
  update();
  wholePending_ = true;
  return true;
}

void MapArea::ShowTrails(std::vector<TrailPiece> pieces) {
  // Kept in order of their tops: a paint comes in bands (the controls over
  // the map cut it up), and each band draws only the pieces that reach it.
  const auto top = [](const TrailPiece& p) { return std::min(p.y0, p.y1); };
  std::stable_sort(pieces.begin(), pieces.end(), [&](const TrailPiece& a, const TrailPiece& b) { return top(a) < top(b); });
  if (pieces == trails_) return;
  trailHeight_ = 0;
  for (const TrailPiece& p : pieces) trailHeight_ = std::max(trailHeight_, std::fabs(p.y1 - p.y0));
  if (wholePending_) {  // all of the area is to be painted anyway
    trails_ = std::move(pieces);
    return;
  }
  // Only the cells of a coarse grid that the old or the new pieces touch
  // are painted again (a region built piece by piece costs the square of
  // their number).
  constexpr int kCell = 32;
  const int columns = width() / kCell + 1, rows = height() / kCell + 1;
  std::vector<char> touched(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  for (const std::vector<TrailPiece>* list : {&trails_, &pieces}) {
    for (const TrailPiece& p : *list) {
      const QRect box = QRectF(QPointF(p.x0, p.y0), QPointF(p.x1, p.y1)).normalized().toAlignedRect().adjusted(-2, -2, 2, 2) &
                        rect();
      for (int row = box.top() / kCell; !box.isEmpty() && row <= box.bottom() / kCell; ++row)
        for (int column = box.left() / kCell; column <= box.right() / kCell; ++column)
          touched[static_cast<std::size_t>(row * columns + column)] = 1;
    }
  }
  std::vector<QRect> cells;
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns;) {
      if (!touched[static_cast<std::size_t>(row * columns + column)]) {
        ++column;
        continue;
      }
      const int first = column;
      while (column < columns && touched[static_cast<std::size_t>(row * columns + column)]) ++column;
      cells.emplace_back(first * kCell, row * kCell, (column - first) * kCell, kCell);
    }
  QRegion changed;
  changed.setRects(cells.data(), static_cast<int>(cells.size()));
  trails_ = std::move(pieces);
  update(changed);
}

void MapArea::ShowPlaces(std::vector<PlaceMark> marks) {
  // Kept in order of their tops, as the trails are.
  std::stable_sort(marks.begin(), marks.end(),
                   [](const PlaceMark& a, const PlaceMark& b) { return PlaceTop(a) < PlaceTop(b); });
  if (marks == places_) return;
  placeHeight_ = 0;
  for (const PlaceMark& m : marks) placeHeight_ = std::max(placeHeight_, PlaceBottom(m) - PlaceTop(m));
  places_ = std::move(marks);
  update();
}

std::optional<std::size_t> MapArea::PlaceAt(QPoint pixel) const {
  constexpr int kReach = kPlaceMarkRadius + 3;
  std::optional<std::size_t> nearest;
  int best = kReach * kReach + 1;
  for (const PlaceMark& mark : places_) {
    const int dx = mark.spot.x - pixel.x(), dy = mark.spot.y - pixel.y();
    if (dx * dx + dy * dy < best) {
      best = dx * dx + dy * dy;
      nearest = mark.spot.place;
    }
  }
  return nearest;
}

QImage MapArea::Grab() {
  QImage image(size(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  Draw(image.rect(), image.bits(), image.bytesPerLine());
  return image;
}

void MapArea::Draw(const QRect& rect, uchar* dst, qsizetype stride) {
  // A strip a few dozen rows high is drawn whole (map, trails, places) while
  // its rows are still in the cache: the overlays' scattered pixels then cost
  // no reads from memory, which for hundreds of place names was most of
  // their cost.
  constexpr int kStrip = 32;
  for (int top = rect.top(); top <= rect.bottom(); top += kStrip) {
    const QRect strip(rect.left(), top, rect.width(), std::min(kStrip, rect.bottom() + 1 - top));
    DrawStrip(strip, dst + (top - rect.top()) * stride, stride);
  }
}

void MapArea::DrawStrip(const QRect& rect, uchar* dst, qsizetype stride) {
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
  const auto from = std::lower_bound(trails_.begin(), trails_.end(), rect.top() - trailHeight_ - 2,
                                     [](const TrailPiece& p, float y) { return std::min(p.y0, p.y1) < y; });
  const auto to = std::upper_bound(from, trails_.end(), static_cast<float>(rect.bottom() + 2),
                                   [](float y, const TrailPiece& p) { return y < std::min(p.y0, p.y1); });
  DrawTrailPieces(std::span(from, to), rect, dst, stride);
  const auto first = std::lower_bound(places_.begin(), places_.end(), rect.top() - placeHeight_,
                                      [](const PlaceMark& m, int y) { return PlaceTop(m) < y; });
  const auto last = std::upper_bound(first, places_.end(), rect.bottom(),
                                     [](int y, const PlaceMark& m) { return y < PlaceTop(m); });
  DrawPlaceMarks(std::span(first, last), rect, dst, stride);
}

void MapArea::paintEvent(QPaintEvent* event) {
  wholePending_ = false;
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
