#include "map/map_scene.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/rounding.h"
#include "map/position_text.h"
#include "map/sailing_text.h"
#include "map/slot_colours.h"

namespace crewmap::map {

void MapScene::Note(const net::SlotTable& Slots, std::int16_t MySlot, std::int64_t nowMs) {
  seen_ = Slots;
  mySlot_ = MySlot;
  nowMs_ = nowMs;
  ownKnown_ = false;
  if (MySlot >= 0 && static_cast<std::size_t>(MySlot) < Slots.size()) {
    const net::Slot& own = Slots[static_cast<std::size_t>(MySlot)];
    if (const auto position = ParsePosition(own.Point)) {
      ownKnown_ = true;
      lastOwn_ = position;
      // A position stamped on arrival counts at its arrival: one seen again
      // on a later tick is the same reading.
      track_.Add(own.PointAtMs != 0 ? own.PointAtMs : nowMs, position->x, position->y);
      if (const auto arrival = route_.Note(position->x, position->y, arrival_)) {
        arrivals_.push_back(*arrival);
        if (route_.Active()) AimAtRouteStep();
      }
    }
  }
  trails_.Note(Slots, nowMs);
  if (follow_.Active()) {
    if (const auto position = StepFollow(follow_, Slots[static_cast<std::size_t>(follow_.slot)]))
      AimAtPoint(position->x, position->y);
  }
}

void MapScene::AimAtMap(std::int32_t mapX, std::int32_t mapY) {
  follow_ = Follow();
  route_.Stop();
  kind_ = Kind::Fixed;
  targetX_ = mapX;
  targetY_ = mapY;
}

void MapScene::AimAtSpot(GamePoint spot) {
  follow_ = Follow();
  route_.Stop();
  AimAtPoint(spot.x, spot.y);
}

bool MapScene::StartRoute(std::vector<Place> places) {
  if (!route_.Start(std::move(places))) return false;
  follow_ = Follow();
  AimAtRouteStep();
  return true;
}

bool MapScene::StepRoute(int delta) {
  if (!(delta > 0 ? route_.Forward() : route_.Back())) return false;
  AimAtRouteStep();
  return true;
}

void MapScene::AimAtRouteStep() {
  if (const Place* place = route_.Current()) AimAtPoint(place->point.x, place->point.y);
}

std::vector<Route::Arrival> MapScene::TakeArrivals() { return std::exchange(arrivals_, {}); }

std::optional<GamePoint> MapScene::OwnPoint() const {
  if (!ownKnown_ || !lastOwn_) return std::nullopt;
  return GamePoint{RoundClampInt32(lastOwn_->x), RoundClampInt32(lastOwn_->y)};
}

void MapScene::AimAtPoint(double x, double y) {
  kind_ = Kind::Point;
  pointX_ = x;
  pointY_ = y;
  targetX_ = RoundClampInt32(GameToMapX(x));
  targetY_ = RoundClampInt32(GameToMapY(y));
}

bool MapScene::FollowSlot(int slot) {
  if (slot < 0 || slot > 8 || slot == mySlot_) return false;
  const net::Slot& entry = seen_[static_cast<std::size_t>(slot)];
  if (entry.Nick.empty()) return false;
  route_.Stop();
  follow_ = Follow{slot, entry.Nick, false};
  // Without a position yet the target stays until the first one arrives.
  if (const auto position = ParsePosition(entry.Point)) AimAtPoint(position->x, position->y);
  return true;
}

bool MapScene::AimAtMeetingPoint() {
  if (!meeting_) return false;
  follow_ = Follow();
  route_.Stop();
  AimAtPoint(meeting_->x, meeting_->y);
  return true;
}

std::string MapScene::FollowText() const {
  return follow_.slot < 0 ? std::string() : FollowCaption(follow_.nick, follow_.left);
}

std::optional<GamePoint> MapScene::ShareablePoint() const {
  if (kind_ == Kind::None) return std::nullopt;
  const double x = kind_ == Kind::Point ? pointX_ : MapToGameX(targetX_);
  const double y = kind_ == Kind::Point ? pointY_ : MapToGameY(targetY_);
  // A spot in the world: east-west into 0..16383, north-south inside it
  // (a target can lie past the seam or above the top of a tall view).
  const std::int32_t wx = RoundClampInt32(x - WorldWidth * std::floor(x / WorldWidth)) % WorldWidth;
  const std::int32_t wy = std::clamp(RoundClampInt32(y), 0, WorldHeight - 1);
  return GamePoint{wx, wy};
}

std::array<MarkerShow, 9> MapScene::Markers(const ViewState& view) const {
  std::array<MarkerShow, 9> markers;
  for (int i = 0; i <= 8; ++i) {
    const net::Slot& slot = seen_[static_cast<std::size_t>(i)];
    const auto position = ParsePosition(slot.Point);
    if (!position) continue;
    MarkerShow& m = markers[static_cast<std::size_t>(i)];
    // A member just across the seam is drawn where the view shows it.
    const double x = NearestCopyX(position->x, view.viewX, view.w);
    const PositionAge age = AgeOf(slot.PointAtMs, nowMs_);
    m.visible = true;
    m.text = age.old ? slot.Nick + " " + age.text : slot.Nick;
    m.old = age.old;
    m.placement = PlaceMarker(x, position->y, view.viewX, view.viewY, HoseiToDouble(view.hosei));
  }
  return markers;
}

TwipsPoint MapScene::CrossCorner(const ViewState& view) const {
  if (kind_ != Kind::Point) return TargetCrossCorner(targetX_, targetY_, view.viewX, view.viewY, view.hosei);
  TwipsPoint cross = GameToArea(pointX_, pointY_, view.viewX, view.viewY, view.w, view.hosei);
  cross.left -= 150;
  cross.top -= 150;
  return cross;
}

std::optional<TwipsPoint> MapScene::MeetingFoot(const ViewState& view) const {
  if (!meeting_) return std::nullopt;
  return GameToArea(meeting_->x, meeting_->y, view.viewX, view.viewY, view.w, view.hosei);
}

HeadingOffset MapScene::OffsetFrom(std::int32_t x, std::int32_t y) const {
  return kind_ == Kind::Point ? OffsetTo(pointX_, pointY_, x, y) : AngleShowOffset(targetX_, targetY_, x, y);
}

MapScene::DistanceTexts MapScene::DistanceTextsFor(const HeadingOffset& offset) const {
  if (kind_ == Kind::None) return {};
  const double distance = std::hypot(static_cast<double>(offset.dx), static_cast<double>(offset.dy));
  const std::optional<std::int64_t> seconds = ArrivalSeconds(distance, track_.Speed(nowMs_));
  return {NaviText(distance, seconds), OverlayText(distance, seconds)};
}

std::vector<navi::RingMark> MapScene::RingMarks() const {
  std::vector<navi::RingMark> marks;
  if (!lastOwn_) return marks;
  const auto x = RoundClampInt32(lastOwn_->x), y = RoundClampInt32(lastOwn_->y);
  for (int i = 0; i <= 8; ++i) {
    if (i == mySlot_ || i == FollowedSlot()) continue;
    const net::Slot& slot = seen_[static_cast<std::size_t>(i)];
    const auto position = ParsePosition(slot.Point);
    if (!position) continue;
    const HeadingOffset offset = OffsetTo(position->x, position->y, x, y);
    // The deeper colour, as the member's trail: slot 2's light one is the
    // ring's own.
    marks.push_back({offset.dx, offset.dy, kSlotColours[i].border,
                     !ownKnown_ || AgeOf(slot.PointAtMs, nowMs_).old});
  }
  return marks;
}

}  // namespace crewmap::map
