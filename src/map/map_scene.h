#pragma once
// What the map window and the overlay show while sailing together, worked
// out from the slot table, the view and the user's picks: the markers and
// how old their positions are, the target (a spot, a followed member or the
// meeting point) and its cross, the meeting flag, the trails, the distance
// and time, and where the other members lie from the player. Plain C++, so
// it is tested without a window; the map window only puts the results on
// its widgets.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/game_point.h"
#include "map/follow.h"
#include "map/own_track.h"
#include "map/route.h"
#include "map/trails.h"
#include "map/transform.h"
#include "navi/ring_marks.h"
#include "net/slots.h"

namespace crewmap::map {

// The view the map shows: origin and visible width in map pixels, zoom.
struct ViewState {
  std::int32_t viewX = 0, viewY = 0, w = 0;
  HoseiValue hosei = HoseiOne;
};

// One slot's marker: hidden, or placed (in twips) with its name, the age of
// an old position behind it.
struct MarkerShow {
  bool visible = false;
  std::string text;
  MarkerPlacement placement;
  bool old = false;
};

class MapScene {
 public:
  // The tick, hidden map or not: the slot table and own slot, at `nowMs`.
  // Keeps the own readings (speed), the trails, and moves the target with
  // the member followed.
  void Note(const net::SlotTable& Slots, std::int16_t MySlot, std::int64_t nowMs);

  // --- the target (any pick but a route's own steps ends the route)
  // A map pixel picked on open map; following ends.
  void AimAtMap(std::int32_t mapX, std::int32_t mapY);
  // A spot given in game units (typed, or a saved place); following ends.
  void AimAtSpot(GamePoint spot);
  // The member in `slot` (0..8) becomes the target and is followed. Not the
  // own slot, nor a slot without a nickname: false, and nothing changes.
  bool FollowSlot(int slot);
  // The meeting point becomes the target; following ends. False without one.
  bool AimAtMeetingPoint();
  bool HasTarget() const { return kind_ != Kind::None; }
  // The target as a map pixel.
  std::int32_t TargetX() const { return targetX_; }
  std::int32_t TargetY() const { return targetY_; }
  int FollowedSlot() const { return follow_.Active() ? follow_.slot : -1; }
  // "Kaito を追跡中", "Kaito が離れました", or "" when nobody is followed.
  std::string FollowText() const;
  // The target as a spot in the world, in whole game units, to share.
  std::optional<GamePoint> ShareablePoint() const;
  // The own position of the last tick, in whole game units; nothing while
  // it is unknown.
  std::optional<GamePoint> OwnPoint() const;

  // --- a route of places: its current step is the target
  // Starts at the first place; following ends. False for no places.
  bool StartRoute(std::vector<Place> places);
  // One step forward (+1) or back (-1); false past either end.
  bool StepRoute(int delta);
  // Ends the route; the target stays where it is.
  void StopRoute() { route_.Stop(); }
  const Route& CurrentRoute() const { return route_; }
  // How near a place counts as arrived, game units.
  void SetArrivalDistance(double distance) { arrival_ = distance; }
  // The arrivals since the last call, oldest first (the tick notes them).
  std::vector<Route::Arrival> TakeArrivals();

  // --- the group's meeting point
  void SetMeetingPoint(std::optional<GamePoint> point) { meeting_ = point; }
  const std::optional<GamePoint>& MeetingPoint() const { return meeting_; }

  // --- what the map shows for `view`
  std::array<MarkerShow, 9> Markers(const ViewState& view) const;
  // The cross's top-left corner, twips.
  TwipsPoint CrossCorner(const ViewState& view) const;
  // The foot of the meeting flag, twips; nothing without a meeting point.
  std::optional<TwipsPoint> MeetingFoot(const ViewState& view) const;
  const map::Trails& MemberTrails() const { return trails_; }
  std::int64_t NowMs() const { return nowMs_; }

  // --- heading, from the own position (x, y)
  // Whether the own slot had a position at the last tick.
  bool OwnKnown() const { return ownKnown_; }
  HeadingOffset OffsetFrom(std::int32_t x, std::int32_t y) const;
  // Distance and time to the target for the map ("2722 4:32") and for the
  // overlay ("2722\n4:32"); both "" without a target.
  struct DistanceTexts {
    std::string map, overlay;
  };
  DistanceTexts DistanceTextsFor(const HeadingOffset& offset) const;
  // The other members with positions, as marks for the overlay's ring, from
  // the own position of the last tick (or the last one known, then every
  // mark old). Not the player, nor the member the target follows (the dot
  // shows that one).
  std::vector<navi::RingMark> RingMarks() const;

 private:
  enum class Kind { None, Fixed, Point };
  void AimAtPoint(double x, double y);
  void AimAtRouteStep();

  Kind kind_ = Kind::None;
  std::int32_t targetX_ = 0, targetY_ = 0;  // map pixel
  double pointX_ = 0, pointY_ = 0;          // game units, for Kind::Point
  Follow follow_;
  std::optional<GamePoint> meeting_;
  net::SlotTable seen_{};
  std::int16_t mySlot_ = -1;
  std::int64_t nowMs_ = 0;
  bool ownKnown_ = false;
  std::optional<GamePosition> lastOwn_;
  OwnTrack track_;
  map::Trails trails_;
  Route route_;
  double arrival_ = kDefaultArrivalDistance;
  std::vector<Route::Arrival> arrivals_;
};

}  // namespace crewmap::map
