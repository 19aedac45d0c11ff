#include "ui/tick_box_style.h"

#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>
#include <algorithm>

namespace crewmap::ui {

TickBoxStyle::TickBoxStyle(const QString& baseStyle) : QProxyStyle(baseStyle) {}

void TickBoxStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
  if (element == PE_FrameFocusRect) {
    // Keyboard focus in the box's text colour: styles draw it in their own
    // dark or highlight colours, which vanish on the box's black. Where the
    // system shows focus only once the keyboard is used (Windows), so here.
    if (!(option->state & State_KeyboardFocusChange) && !proxy()->styleHint(SH_UnderlineShortcut, option, widget))
      return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(option->palette.color(QPalette::WindowText), 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
    return;
  }
  if (element != PE_IndicatorCheckBox) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  const QColor ink = option->palette.color(QPalette::WindowText);
  const QRect box = option->rect.adjusted(0, 0, -1, -1);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->fillRect(option->rect, option->palette.color(QPalette::Window));
  painter->setPen(ink);
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(box);
  if (option->state & (State_On | State_NoChange)) {
    // A tick from the left middle down to the bottom third and up to the
    // top right, thick enough to read at 9 pixels.
    const double w = box.width();
    const double h = box.height();
    QPainterPath tick;
    tick.moveTo(box.left() + w * 0.2, box.top() + h * 0.5);
    tick.lineTo(box.left() + w * 0.42, box.top() + h * 0.75);
    tick.lineTo(box.left() + w * 0.8, box.top() + h * 0.22);
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(ink, std::max(1.5, w / 6.0), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter->drawPath(tick);
  }
  painter->restore();
}

void TickBoxStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
  // Some styles leave the box's background to the window beneath: it is
  // the box's own colour here, so the label reads on it.
  if (element == CE_CheckBox) painter->fillRect(option->rect, option->palette.color(QPalette::Window));
  QProxyStyle::drawControl(element, option, painter, widget);
}

void UseTickBoxStyle(QCheckBox& box) {
  auto* style = new TickBoxStyle(QApplication::style()->name());
  style->setParent(&box);
  box.setStyle(style);
}

}  // namespace crewmap::ui
