#pragma once
// The members' markers over the map: for each slot 0..8 a circle and its
// outlined name (a light label over four black copies one pixel off), all
// names below all circles. Puts what the scene says on these widgets, sets
// each name beside its own circle clear of the others and of the window's
// controls, and keeps the marks whose place is the world's (the circles,
// and what the window adds to MarksOver()) above those controls.
#include <QPoint>
#include <array>
#include <vector>

#include "map/label_spread.h"
#include "map/map_scene.h"

class QLabel;
class QWidget;

namespace crewmap::map {

class CircleShape;

class MarkerLayer {
 public:
  // Makes the widgets: the names as children of the map area, in their
  // stacking order; the circles on a layer over the area that follows its
  // geometry and takes no mouse input.
  void MakeMarkers(QWidget* area);
  // The layer over the map area for marks that must never hide under a
  // control (the meeting flag, the target cross).
  QWidget* MarksOver() const { return over_; }
  // Puts that layer above the controls made since MakeMarkers.
  void RaiseMarks();

  void PlaceMarkers(const std::array<MarkerShow, 9>& markers);
  // The slot whose marker (circle or name) lies under the pixel, or -1.
  int MarkerAt(QPoint pixel) const;
  // Where `caption` goes beside `anchor` (both over the map area): clear of
  // the controls, the names, the circles and whatever else shows over the
  // map, where there is room.
  QPoint PlaceCaption(const QWidget& caption, const QWidget& anchor) const;

  std::array<CircleShape*, 9> Shape1{};
  std::array<QLabel*, 9> lblPoint{};   // light nickname
  std::array<QLabel*, 9> lblPoint2{};  // black copy one pixel above
  std::array<QLabel*, 9> lblPoint3{};  // ... below
  std::array<QLabel*, 9> lblPoint4{};  // ... left
  std::array<QLabel*, 9> lblPoint5{};  // ... right

 private:
  std::array<QLabel*, 5> Labels(int i) const { return {lblPoint[i], lblPoint2[i], lblPoint3[i], lblPoint4[i], lblPoint5[i]}; }
  // The map area, its visible circles and the window's controls over it.
  MapObstacles Obstacles() const;
  bool IsMarker(const QWidget* widget) const;

  QWidget* area_ = nullptr;
  QWidget* over_ = nullptr;
  std::vector<LabelBox> names_;  // the names shown, with their outlines
};

}  // namespace crewmap::map
