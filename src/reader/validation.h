#pragma once
// Accepts the joined text of a capture only when it looks like a coordinate
// pair: at least one comma, and the first two comma-separated fields non-empty.
#include <string>
#include <string_view>

namespace crewmap::reader {

// The position text for a joined text: the joined text unchanged when it
// passes, the empty text otherwise. Field lengths are not limited.
std::string ValidatePosition(std::string_view joined);

// True for exactly two runs of digits joined by one comma that name a place
// in the world (ParseWorldPoint). Stricter than ValidatePosition, for places found by search.
bool IsWorldPosition(std::string_view text);

// True when the second of two world positions read one capture after the
// other can be the same ship under way: it moved, and by no more than
// kLargestStep along either axis (east-west across the seam too). A still
// picture (a price, a clock that shows no change) never passes.
bool PlausibleStep(std::string_view from, std::string_view to);
inline constexpr int kLargestStep = 64;

}  // namespace crewmap::reader
