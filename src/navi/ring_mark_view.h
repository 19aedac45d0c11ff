#pragma once
// The other members' marks on the overlay's ring: small black-edged circles
// in their slots' deeper colours (those of their trails), hollow where a
// member's position is old. Drawn with hard
// edges and never in pure white, so the window's cut-out keeps exactly
// them. Takes no mouse input.
#include <QWidget>
#include <optional>
#include <vector>

#include "navi/ring_marks.h"

namespace crewmap::navi {

class RingMarkView : public QWidget {
  Q_OBJECT

 public:
  explicit RingMarkView(QWidget* parent);
  // False when these marks show already.
  bool SetMarks(const std::vector<RingMark>& marks);
  // Where the target dot is on the ring (PlaceRingMarks), or none. False
  // when nothing changes.
  bool SetDotAngle(std::optional<double> angle);
  const std::vector<PlacedMark>& Placed() const { return placed_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<RingMark> marks_;
  std::optional<double> dotAngle_;
  std::vector<PlacedMark> placed_;
};

}  // namespace crewmap::navi
