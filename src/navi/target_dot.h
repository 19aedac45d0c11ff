#pragma once
// Shape3, the direction dot. Its place is the bearing's (Left, Top: the
// top-left corner of a 60-twip dot, as PointToAngle sets it); it is drawn
// larger and centred on the ring's band in that direction (DotOnRing), as a
// red disc in a white ring with a black edge: a target, which none of the
// members' plain marks on the ring looks like, slot 0's deep red included.
// Hard edges and no pure white, so the window's cut-out keeps exactly it.
// Takes no mouse input.
#include <QWidget>

namespace crewmap::navi {

class TargetDot : public QWidget {
  Q_OBJECT

 public:
  TargetDot(float leftTwips, float topTwips, QWidget* parent);

  float Left() const { return left_; }
  float Top() const { return top_; }
  // The bearing's place for the dot, in twips.
  void setLeftTop(float leftTwips, float topTwips);

  static constexpr QRgb kEdge = 0xFF000000;
  static constexpr QRgb kHalo = 0xFFF8F8F8;  // near white: pure white is cut out
  static constexpr QRgb kCore = 0xFFFF0000;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  float left_;
  float top_;
};

}  // namespace crewmap::navi
