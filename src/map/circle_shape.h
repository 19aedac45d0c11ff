#pragma once
// Shape1(i): a member's marker, an 8 x 8 pixel circle with an opaque fill and
// a two-pixel border.
#include <QColor>
#include <QWidget>

namespace crewmap::map {

class CircleShape : public QWidget {
  Q_OBJECT

 public:
  CircleShape(QWidget* parent, QColor fill, QColor border);
  QColor Fill() const { return fill_; }
  QColor Border() const { return border_; }
  // Drawn at half strength over the map (an old position).
  void SetFaded(bool faded);
  bool Faded() const { return faded_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  QColor border_;
  bool faded_ = false;
};

}  // namespace crewmap::map
