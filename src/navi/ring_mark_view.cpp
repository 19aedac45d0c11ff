#include "navi/ring_mark_view.h"

#include <QPainter>

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
  placed_ = PlaceRingMarks(marks);
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
