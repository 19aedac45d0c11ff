#include "gamesim/voyage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace crewmap::gamesim {
namespace {

// The world is 16384 x 8192 game units, wrapping east-west only.
constexpr double kWorldWidth = 16384.0;
constexpr double kWorldHeight = 8192.0;

struct Port {
  double x;
  double y;
};
// A round trip that passes through every digit on the read-out sooner or later.
constexpr Port kRoute[] = {{14602, 5579}, {14890, 5310}, {15230, 5388}, {15712, 5093}, {16120, 4870},
                           {260, 4630},   {630, 4381},   {388, 3950},   {16003, 3827}, {15478, 4296},
                           {14983, 4868}, {14377, 5135}};
constexpr std::size_t kRouteLength = sizeof kRoute / sizeof kRoute[0];

double WrapX(double x) {
  x = std::fmod(x, kWorldWidth);
  return x < 0 ? x + kWorldWidth : x;
}

// Shortest east-west difference on the wrapping world.
double DeltaX(double from, double to) {
  double d = to - from;
  if (d > kWorldWidth / 2) d -= kWorldWidth;
  if (d < -kWorldWidth / 2) d += kWorldWidth;
  return d;
}

}  // namespace

Voyage::Voyage() : x_(kRoute[0].x), y_(kRoute[0].y), waypoint_(1) { SteerTowardsWaypoint(); }

void Voyage::SteerTowardsWaypoint() {
  const Port& p = kRoute[waypoint_];
  const double dx = DeltaX(x_, p.x);
  const double dy = p.y - y_;
  if (std::hypot(dx, dy) <= speed_) {
    waypoint_ = (waypoint_ + 1) % kRouteLength;
    return SteerTowardsWaypoint();
  }
  // Compass heading: north is up (y decreasing), east is +x.
  heading_ = std::atan2(dx, -dy) * 180.0 / std::numbers::pi;
  if (heading_ < 0) heading_ += 360.0;
}

void Voyage::Tick() {
  if (paused_) return;
  fixed_.reset();
  if (autopilot_) SteerTowardsWaypoint();
  const double radians = heading_ * std::numbers::pi / 180.0;
  x_ = WrapX(x_ + speed_ * std::sin(radians));
  y_ = std::clamp(y_ - speed_ * std::cos(radians), 0.0, kWorldHeight - 1);
}

void Voyage::SteerLeft() {
  autopilot_ = false;
  heading_ = std::fmod(heading_ + 345.0, 360.0);
}

void Voyage::SteerRight() {
  autopilot_ = false;
  heading_ = std::fmod(heading_ + 15.0, 360.0);
}

void Voyage::SpeedUp() { speed_ = std::min(speed_ + 2.0, 40.0); }
void Voyage::SlowDown() { speed_ = std::max(speed_ - 2.0, 0.0); }
void Voyage::Autopilot() { autopilot_ = true; }

bool Voyage::ShowFixed(std::string_view text) {
  const auto comma = text.find(',');
  if (text.empty() || text.size() > 12 || comma == std::string_view::npos) return false;
  if (text.find_first_not_of("0123456789,") != std::string_view::npos) return false;
  if (text.find(',', comma + 1) != std::string_view::npos) return false;
  fixed_ = std::string(text);
  paused_ = true;
  // Sail on from there when unpaused, as far as the numbers are in the world.
  double x = 0;
  double y = 0;
  const auto* begin = text.data();
  const auto* mid = begin + comma;
  const auto* end = begin + text.size();
  long long vx = 0;
  long long vy = 0;
  if (std::from_chars(begin, mid, vx).ec == std::errc{} && std::from_chars(mid + 1, end, vy).ec == std::errc{}) {
    x = WrapX(static_cast<double>(vx));
    y = std::clamp(static_cast<double>(vy), 0.0, kWorldHeight - 1);
    x_ = x;
    y_ = y;
  }
  return true;
}

std::string Voyage::Readout() const {
  if (fixed_) return *fixed_;
  const auto x = static_cast<long long>(std::lround(x_)) % static_cast<long long>(kWorldWidth);
  const auto y = static_cast<long long>(std::lround(y_));
  return std::to_string(x) + "," + std::to_string(y);
}

namespace {

// Two integers joined by `sep`, each within [low, 10000].
std::optional<std::pair<int, int>> ParsePair(std::string_view text, char sep, int low) {
  const auto at = text.find(sep);
  if (at == std::string_view::npos) return std::nullopt;
  int a = 0;
  int b = 0;
  const auto* begin = text.data();
  const auto r1 = std::from_chars(begin, begin + at, a);
  const auto r2 = std::from_chars(begin + at + 1, begin + text.size(), b);
  if (r1.ec != std::errc{} || r1.ptr != begin + at || r2.ec != std::errc{} || r2.ptr != begin + text.size())
    return std::nullopt;
  if (a < low || b < low || a > 10000 || b > 10000) return std::nullopt;
  return std::make_pair(a, b);
}

}  // namespace

std::optional<std::pair<int, int>> ParseSize(std::string_view text) { return ParsePair(text, 'x', 1); }

std::optional<std::pair<int, int>> ParsePlace(std::string_view text) { return ParsePair(text, ',', 0); }

std::optional<std::array<int, 4>> ParseBox(std::string_view text) {
  const auto second = text.find(',', text.find(',') + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto place = ParsePlace(text.substr(0, second));
  const auto size = ParsePair(text.substr(second + 1), ',', 1);
  if (!place || !size) return std::nullopt;
  return std::array<int, 4>{place->first, place->second, size->first, size->second};
}

}  // namespace crewmap::gamesim
