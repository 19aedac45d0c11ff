#include "map/meeting_flag.h"

#include <QPainter>
#include <QPolygon>

namespace crewmap::map {

MeetingFlag::MeetingFlag(QWidget* parent) : QWidget(parent) {
  setFixedSize(16, 20);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MeetingFlag::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A black pole and a yellow pennant outlined in black: seen on sea and land.
  painter.fillRect(QRect(kFootX - 1, 0, 2, kFootY + 1), Qt::black);
  const QPolygon pennant({QPoint(kFootX + 1, 1), QPoint(15, 5), QPoint(kFootX + 1, 10)});
  painter.setPen(Qt::black);
  painter.setBrush(QColor(255, 220, 0));
  painter.drawPolygon(pennant);
}

}  // namespace crewmap::map
