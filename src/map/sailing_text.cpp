#include "map/sailing_text.h"

#include <algorithm>
#include <cmath>

#include "common/rounding.h"

namespace crewmap::map {

std::string ArrivalText(std::optional<std::int64_t> seconds) {
  if (!seconds || *seconds < 0) return "--:--";
  const std::int64_t s = *seconds % 60;
  return std::to_string(*seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

std::string NaviText(double distance, std::optional<std::int64_t> seconds) {
  // Positions are 32-bit, so any real distance fits; the clamp only keeps a
  // nonsense value from overflowing.
  const double units = std::isfinite(distance) ? std::clamp(RoundHalfEven(distance), 0.0, 1e12) : 0.0;
  return std::to_string(static_cast<std::int64_t>(units)) + " " + ArrivalText(seconds);
}

std::string OverlayText(double distance, std::optional<std::int64_t> seconds) {
  std::string text = NaviText(distance, seconds);
  const std::size_t space = text.find(' ');
  if (!seconds) return text.substr(0, space);
  return text.replace(space, 1, "\n");
}

PositionAge AgeOf(std::int64_t pointAtMs, std::int64_t nowMs) {
  if (pointAtMs == 0 || nowMs - pointAtMs <= kFreshMs) return {};
  const std::int64_t seconds = (nowMs - pointAtMs) / 1000;
  if (seconds < 60) return {true, std::to_string(seconds) + "秒前"};
  if (seconds < 3600) return {true, std::to_string(seconds / 60) + "分前"};
  return {true, std::to_string(seconds / 3600) + "時間前"};
}

std::string FollowCaption(const std::string& nick, bool left) {
  return nick + (left ? " が離れました" : " を追跡中");
}

}  // namespace crewmap::map
