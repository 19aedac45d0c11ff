#include "navi/target_dot.h"

#include <QPainter>

#include "common/twips.h"
#include "navi/ring_marks.h"

namespace crewmap::navi {

TargetDot::TargetDot(float leftTwips, float topTwips, QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  resize(TwipsToPixels(kDotDiameter), TwipsToPixels(kDotDiameter));
  setLeftTop(leftTwips, topTwips);
}

void TargetDot::setLeftTop(float leftTwips, float topTwips) {
  left_ = leftTwips;
  top_ = topTwips;
  const DotCorner corner = DotOnRing(leftTwips, topTwips);
  move(TwipsToPixels(corner.left), TwipsToPixels(corner.top));
}

void TargetDot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Hard edges: blended edge pixels would stay in the cut-out as a fringe.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::NoPen);
  const QRectF box(0, 0, width(), height());
  painter.setBrush(QColor::fromRgb(kEdge));
  painter.drawEllipse(box);
  painter.setBrush(QColor::fromRgb(kHalo));
  painter.drawEllipse(box.adjusted(1.5, 1.5, -1.5, -1.5));
  painter.setBrush(QColor::fromRgb(kCore));
  painter.drawEllipse(box.adjusted(4, 4, -4, -4));
}

}  // namespace crewmap::navi
