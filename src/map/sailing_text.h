#pragma once
// The words and figures the map and the overlay show while sailing together:
// distance and arrival time, how old a member's position is, whom the map
// follows. Plain C++ (UTF-8 texts) so the rules are tested without a window.
#include <cstdint>
#include <optional>
#include <string>

namespace crewmap::map {

// "m:ss" (minutes not padded: "0:07", "12:30"), or "--:--" when unknown.
std::string ArrivalText(std::optional<std::int64_t> seconds);

// The distance in whole game units and the arrival time: "2722 4:32".
std::string NaviText(double distance, std::optional<std::int64_t> seconds);
// The same for the overlay's ring, the time under the distance ("2722\n4:32"),
// and without it when it is unknown ("2722"): "--:--" drawn small inside the
// ring read as a cross.
std::string OverlayText(double distance, std::optional<std::int64_t> seconds);

// How old a position is that arrived at `pointAtMs` (steady clock; 0 = never
// stamped, counted as fresh), seen at `nowMs`. Older than 10 s it is drawn
// faded with its age beside the name: "45秒前", "3分前", "2時間前".
struct PositionAge {
  bool old = false;
  std::string text;  // empty while fresh
};
inline constexpr std::int64_t kFreshMs = 10000;
PositionAge AgeOf(std::int64_t pointAtMs, std::int64_t nowMs);

// The map's caption about the member it follows: "Kaito を追跡中", or once
// that member has gone, "Kaito が離れました".
std::string FollowCaption(const std::string& nick, bool left);

}  // namespace crewmap::map
