#pragma once
// A member's name over the map: lblPoint and its four black copies. The map
// is painted again many times a second while it scrolls, and Qt paints
// every label over it each time; laying the text out anew for 45 labels
// took a third of a frame. The label keeps its text drawn once over
// transparency and paints that copy until its text, colour, font or size
// change.
#include <QImage>
#include <QLabel>

namespace crewmap::map {

class NameLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage copy_;
  QString text_;
  QRgb colour_ = 0;
  QString font_;
};

}  // namespace crewmap::map
