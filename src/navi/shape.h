#pragma once
// A shape control: an oval or circle painted inside its box, optionally
// filled, with a border of a given width in pixels drawn inside the box.
// Its place is kept in twips (single precision) as the rest of the window is
// laid out in twips. Shapes take no mouse input.
#include <QColor>
#include <QWidget>
#include <optional>

namespace crewmap::navi {

class Shape : public QWidget {
  Q_OBJECT

 public:
  enum class Kind { Oval, Circle };

  Shape(Kind kind, float leftTwips, float topTwips, float widthTwips, float heightTwips,
        QWidget* parent);

  // Fill colour, or none for an outline only.
  void setFill(std::optional<QColor> fill);
  // Border colour and width in pixels, or none for no border.
  void setBorder(std::optional<QColor> colour, int widthPixels = 1);

  float Left() const { return left_; }
  float Top() const { return top_; }
  // Moves the shape's top-left corner, in twips.
  void setLeftTop(float leftTwips, float topTwips);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Kind kind_;
  float left_;
  float top_;
  std::optional<QColor> fill_;
  std::optional<QColor> border_;
  int borderWidth_ = 1;
};

}  // namespace crewmap::navi
