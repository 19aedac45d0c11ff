#pragma once
// Spots in the world written as text by players: typed into the map's box,
// pasted from chat or from a table on a web page, or kept in the places
// file. Full-width digits and punctuation count as their ASCII forms; the
// numbers themselves are checked by ParseWorldPoint. Plain C++ (UTF-8).
#include <optional>
#include <string>
#include <string_view>

#include "common/game_point.h"

namespace crewmap::map {

// What the box makes of its text: a spot, or why not.
enum class PointTextError { None, NotTwoNumbers, OutsideWorld };
struct TypedPoint {
  std::optional<GamePoint> point;
  PointTextError error = PointTextError::NotTwoNumbers;
};

// Two whole numbers x and y with a comma, blanks, "、", ";" or "/" between
// them, inside brackets or not, with "x:" / "y=" labels or not:
// "12345,6789", "１２３４５，６７８９", "(12345, 6789)", "「12345，6789」",
// "X:12345 Y:6789". Nothing else may stand in the text. A spot outside the
// world (x >= 16384, y >= 8192) is refused as such.
TypedPoint ReadTypedPoint(std::string_view text);

// A place as players write it on one line: a name and two numbers, with
// tabs, blanks or commas between ("喜望峰\t12345\t6789", "喜望峰, 12345,
// 6789", "喜望峰 (12345, 6789)", "12345,6789 喜望峰"). Of several pairs of
// numbers the last one inside the world is taken (a name may hold digits).
// The name is the text before the numbers (after them when nothing stands
// before), trimmed of blanks, brackets and labels, as it was written (not
// folded). Nothing when there is no such pair or no name.
struct NamedPoint {
  std::string name;
  GamePoint point;
};
std::optional<NamedPoint> ReadPlaceLine(std::string_view line);

// A name as the places file can keep it on one line: control characters
// (tabs and line breaks among them) become blanks, blanks go from its ends,
// comment marks '#' and U+FEFF from its start.
std::string CleanPlaceName(std::string_view name);

}  // namespace crewmap::map
