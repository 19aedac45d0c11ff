#pragma once
// The ship's voyage: where it is in game coordinates, where it heads, and how
// it moves once a second. An autopilot sails a round trip between ports until
// the player takes the helm.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::gamesim {

class Voyage {
 public:
  Voyage();

  // One second of sailing (nothing while paused).
  void Tick();

  void SteerLeft();   // 15 degrees to port, takes the helm
  void SteerRight();  // 15 degrees to starboard, takes the helm
  void SpeedUp();
  void SlowDown();
  void Autopilot();   // back to the route
  void TogglePause() { paused_ = !paused_; }
  void SetPaused(bool paused) { paused_ = paused; }

  // Shows exactly this text from now on ("X,Y", digits and one comma, at most
  // twelve characters) and stops the ship there. False for anything else.
  bool ShowFixed(std::string_view text);

  bool Paused() const { return paused_; }
  bool OnAutopilot() const { return autopilot_; }
  double HeadingDegrees() const { return heading_; }  // 0 north, 90 east
  double Speed() const { return speed_; }             // game units per second
  // The read-out text: "x,y" of the rounded position, or the fixed text.
  std::string Readout() const;

 private:
  void SteerTowardsWaypoint();

  double x_;
  double y_;
  double heading_ = 90.0;
  double speed_ = 6.0;
  bool paused_ = false;
  bool autopilot_ = true;
  std::size_t waypoint_ = 0;
  std::optional<std::string> fixed_;
};

// Parses "WxH" (both 1 to 10000); nothing when malformed.
std::optional<std::pair<int, int>> ParseSize(std::string_view text);
// Parses "X,Y" (both 0 to 10000); nothing when malformed.
std::optional<std::pair<int, int>> ParsePlace(std::string_view text);
// Parses a box "X,Y,W,H" (X, Y 0 to 10000, W, H 1 to 10000) as {X, Y, W, H}.
std::optional<std::array<int, 4>> ParseBox(std::string_view text);

}  // namespace crewmap::gamesim
