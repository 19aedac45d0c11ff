#pragma once
// The group's meeting point on the map: a small flag whose pole stands on
// the point. Clicks on it belong to the map, which makes it the target.
#include <QWidget>

namespace crewmap::map {

class MeetingFlag : public QWidget {
  Q_OBJECT

 public:
  explicit MeetingFlag(QWidget* parent);
  // The foot of the pole, in the flag's own pixels: placed on the point.
  static constexpr int kFootX = 2;
  static constexpr int kFootY = 19;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace crewmap::map
