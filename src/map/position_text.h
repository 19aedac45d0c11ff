#pragma once
// Position texts "x,y" as stored in the slot table, read back into numbers
// for the markers and the heading.
#include <optional>
#include <string_view>

namespace crewmap::map {

struct GamePosition {
  double x = 0;
  double y = 0;
};

// Splits at the one comma into two decimal numbers (optional sign, digits,
// optional fraction, blanks around each allowed). Empty text, anything that
// is not exactly two such numbers, or a number that does not round into 32
// bits gives nothing: the slot is then treated as having no position. Texts
// received from the network go through here, so nothing in them may crash.
std::optional<GamePosition> ParsePosition(std::string_view text);

}  // namespace crewmap::map
