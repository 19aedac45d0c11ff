#include "navi/ring_mark_view.h"

#include <QPainter>
#include <algorithm>

#include "common/twips.h"

namespace crewmap::navi {
namespace {
QColor Rgb(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }
}  // namespace

RingMarkView::RingMarkView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(0, 0, parent->width(), parent->height());
}

bool RingMarkView::SetMarks(const std::vector<RingMark>& marks) {
  if (marks == marks_) return false;
  marks_ = marks;
  placed_ = PlaceRingMarks(marks_, dotAngle_);
  update();
  return true;
}

bool RingMarkView::SetDotAngle(std::optional<double> angle) {
  if (angle == dotAngle_) return false;
  dotAngle_ = angle;
  std::vector<PlacedMark> placed = PlaceRingMarks(marks_, dotAngle_);
  // The dot turns a little with every reading: only a mark that moves by a
  // pixel needs drawing (and the window cutting out) again.
  const auto pixel = [](double twips) { return TwipsToPixels(twips); };
  const bool same = std::equal(placed.begin(), placed.end(), placed_.begin(), placed_.end(),
                               [&](const PlacedMark& a, const PlacedMark& b) {
                                 return pixel(a.left) == pixel(b.left) && pixel(a.top) == pixel(b.top);
                               });
  placed_ = std::move(placed);
  if (same) return false;
  update();
  return true;
}

void RingMarkView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Hard edges: blended edge pixels would stay in the cut-out as a fringe.
  painter.setRenderHint(QPainter::Antialiasing, false);
  const double side = TwipsToPixels(kMarkDiameter);
  for (const PlacedMark& p : placed_) {
    const QRectF box(p.left / TwipsPerPixel, p.top / TwipsPerPixel, side - 1, side - 1);
    // A black edge sets every mark off the pale ring and the game alike.
    painter.setPen(QPen(Qt::black, 1));
    if (p.mark.old) {
      // Old: hollow, a ring in the slot's deeper colour.
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(box);
      painter.setPen(QPen(Rgb(p.mark.colour), 2));
      painter.drawEllipse(box.adjusted(1.5, 1.5, -1.5, -1.5));
    } else {
      painter.setBrush(Rgb(p.mark.colour));
      painter.drawEllipse(box);
    }
  }
}

}  // namespace crewmap::navi
