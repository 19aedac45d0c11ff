#pragma once
// A check box that shows its state the same way in every style: a square
// outlined in the box's text colour over its background, and when ticked a
// tick mark in the text colour inside it. The map's white-on-black
// "自分を中心" needs it: styles draw their own indicator in their own colours
// (a style sheet's indicator can only fill the square, which reads as "off").
#include <QProxyStyle>

class QCheckBox;

namespace crewmap::ui {

class TickBoxStyle : public QProxyStyle {
 public:
  // Everything but the check box's indicator and background is drawn by the
  // style named `baseStyle`.
  explicit TickBoxStyle(const QString& baseStyle);

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
};

// Draws `box` with a TickBoxStyle over the application's current style; the
// style belongs to the box.
void UseTickBoxStyle(QCheckBox& box);

}  // namespace crewmap::ui
