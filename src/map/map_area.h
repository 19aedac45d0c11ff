#pragma once
// Picture1: the map area. It shows the view of the last redraw and draws it
// straight into the window's backing store whenever it is painted (first
// shown, uncovered or redrawn), so a frame is one pass from the pictures to
// the screen's buffer; mouse presses and releases go to its owner.
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "map/map_drawing.h"
#include "map/place_marks.h"
#include "map/trails.h"

namespace crewmap::map {

// What one redraw shows: the view of w x h map pixels at (viewX, viewY) from
// the two halves, stretched onto an area of `area` pixels.
struct MapView {
  const QImage* left = nullptr;
  const QImage* right = nullptr;
  qint64 leftKey = 0;  // the pictures' identities: a reload is a change
  qint64 rightKey = 0;
  bool pictures = false;  // false: no map, the window's colour
  const HalfSizeLevel* level = nullptr;  // the pictures at half size, at zoom 0.5
  std::int32_t viewX = 0, viewY = 0, w = 0, h = 0;
  QSize area;
  bool operator==(const MapView&) const = default;
};

class MapArea : public QWidget {
  Q_OBJECT

 public:
  explicit MapArea(QWidget* parent);

  // Shows `view` from now on. Repaints only when it differs from the view
  // shown: a redraw of an unchanged view (the once-a-second centring on a
  // player who has not moved) costs nothing. True when it repaints.
  bool Show(const MapView& view);
  // Draws these trail pieces over the map from now on (repaints when they
  // change).
  void ShowTrails(std::vector<TrailPiece> pieces);
  std::size_t TrailCount() const { return trails_.size(); }
  // Draws these saved places over the map and the trails from now on
  // (repaints when they change).
  void ShowPlaces(std::vector<PlaceMark> marks);
  std::size_t PlaceCount() const { return places_.size(); }
  std::size_t NamedPlaceCount() const {
    return static_cast<std::size_t>(
        std::count_if(places_.begin(), places_.end(), [](const PlaceMark& m) { return m.spot.named; }));
  }
  // The place (its index among the places) whose mark lies at most a few
  // pixels from `pixel`, the nearest one.
  std::optional<std::size_t> PlaceAt(QPoint pixel) const;
  // What the area shows, drawn into a new image of its size.
  QImage Grab();

  // Button and position in twips relative to the area.
  std::function<void(Qt::MouseButton, double, double)> onMouseDown;
  std::function<void(Qt::MouseButton)> onMouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Draws the area's pixels `rect` (the map, the trails and the places over
  // it) into 32-bit pixels whose top-left one is at `dst`, `stride` bytes
  // per row.
  void Draw(const QRect& rect, uchar* dst, qsizetype stride);
  void DrawStrip(const QRect& rect, uchar* dst, qsizetype stride);

  MapView view_;
  std::vector<TrailPiece> trails_;  // by their tops
  float trailHeight_ = 0;           // the tallest piece
  std::vector<PlaceMark> places_;  // by their tops
  int placeHeight_ = 0;             // the tallest mark with its name
  bool wholePending_ = false;  // Show asked for all of the area to be painted
  ScaledViewScratch scratch_;
};

}  // namespace crewmap::map
