#pragma once
// The members' markers over the map: for each slot 0..8 a circle and its
// outlined name (a light label over four black copies one pixel off), all
// names below all circles. Puts what the scene says on these widgets and
// keeps names at one spot apart.
#include <QPoint>
#include <array>

#include "map/map_scene.h"

class QLabel;
class QWidget;

namespace crewmap::map {

class CircleShape;

class MarkerLayer {
 public:
  // Makes the widgets as children of the map area, in their stacking order.
  void MakeMarkers(QWidget* area);

  void PlaceMarkers(const std::array<MarkerShow, 9>& markers);
  // The slot whose marker (circle or name) lies under the pixel, or -1.
  int MarkerAt(QPoint pixel) const;

  std::array<CircleShape*, 9> Shape1{};
  std::array<QLabel*, 9> lblPoint{};   // light nickname
  std::array<QLabel*, 9> lblPoint2{};  // black copy one pixel above
  std::array<QLabel*, 9> lblPoint3{};  // ... below
  std::array<QLabel*, 9> lblPoint4{};  // ... left
  std::array<QLabel*, 9> lblPoint5{};  // ... right

 private:
  std::array<QLabel*, 5> Labels(int i) const { return {lblPoint[i], lblPoint2[i], lblPoint3[i], lblPoint4[i], lblPoint5[i]}; }
};

}  // namespace crewmap::map
