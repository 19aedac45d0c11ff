#pragma once
// Picture1: the map area. It keeps the image last drawn into it and repaints
// from it whenever uncovered; mouse presses and releases go to its owner.
#include <QImage>
#include <QWidget>
#include <functional>

namespace crewmap::map {

class MapArea : public QWidget {
  Q_OBJECT

 public:
  explicit MapArea(QWidget* parent);

  // The image the area shows, one pixel per screen pixel, as large as the area.
  QImage& Surface() { return surface_; }
  const QImage& Surface() const { return surface_; }
  // Makes the surface as large as the area (kept when already so).
  void FitSurface();

  // Button and position in twips relative to the area.
  std::function<void(Qt::MouseButton, double, double)> onMouseDown;
  std::function<void(Qt::MouseButton)> onMouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage surface_;
};

}  // namespace crewmap::map
