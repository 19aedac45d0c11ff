#pragma once
// A control that lies over a picture redrawn many times a second (the map):
// Qt repaints every sibling above a region that changes beneath it, and a
// style draws a slider or a button slowly (gradients, ticks, text, style
// sheets). CachedLook keeps the control's look drawn once over transparency
// and paints that copy until the control itself changes: any event it
// receives other than a paint (hover, press, focus, a style animation's
// step, a font or palette change, a move or resize), or a new style option
// (a value, a check state or a text set from code, which reach the control
// without an event).
// The copy blended over the picture matches the style drawing onto it up to
// a rounding of one at partly transparent edges; text must lie on the
// control's own opaque face or background (a button, a filled check box),
// since text smoothed over transparency comes out differently.
#include <QEvent>
#include <QImage>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QString>
#include <QStyleOption>
#include <QWidget>

namespace crewmap::ui {

// What a control's own paint draws from, besides what reaches it as events
// (font, screen, style): its style option's fields, to compare.
struct LookKey {
  quint32 state = 0;
  int direction = 0;
  QRect rect;
  qint64 palette = 0;
  QString text;
  qint64 icon = 0;
  QSize iconSize;
  int values[12] = {};
  bool operator==(const LookKey&) const = default;
};
LookKey KeyOf(const QStyleOptionSlider& option);
LookKey KeyOf(const QStyleOptionButton& option);

template <typename Control, typename Option>
class CachedLook : public Control {
 public:
  using Control::Control;

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::Paint && !drawing_) stale_ = true;
    return Control::event(event);
  }

  void paintEvent(QPaintEvent* event) override {
    if (!drawing_ && !stale_ && !look_.isNull() && Key() == key_) {
      QPainter painter(this);
      painter.drawImage(QPoint(0, 0), look_);
      return;
    }
    // Drawing the copy, or the look has changed: the style draws it here,
    // and a new copy is drawn once the events in hand have run (a widget
    // cannot be drawn into an image from inside its own paint).
    Control::paintEvent(event);
    if (!drawing_ && !pending_) {
      pending_ = true;
      QMetaObject::invokeMethod(this, [this] { DrawCopy(); }, Qt::QueuedConnection);
    }
  }

 private:
  LookKey Key() const {
    Option option;
    this->initStyleOption(&option);
    return KeyOf(option);
  }

  void DrawCopy() {
    pending_ = false;
    const qreal ratio = this->devicePixelRatio();
    QImage look(this->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    look.setDevicePixelRatio(ratio);
    look.fill(Qt::transparent);
    drawing_ = true;
    this->render(&look, QPoint(), QRegion(), QWidget::DrawChildren);
    drawing_ = false;
    look_ = std::move(look);
    key_ = Key();
    stale_ = false;
  }

  QImage look_;
  LookKey key_;
  bool stale_ = true;
  bool drawing_ = false;
  bool pending_ = false;
};

}  // namespace crewmap::ui
