#pragma once
// Accepts the joined text of a capture only when it looks like a coordinate
// pair: at least one comma, and the first two comma-separated fields non-empty.
#include <string>
#include <string_view>

namespace crewmap::reader {

// The position text for a joined text: the joined text unchanged when it
// passes, the empty text otherwise. Field lengths are not limited.
std::string ValidatePosition(std::string_view joined);

}  // namespace crewmap::reader
