#include "reader/validation.h"

#include "common/game_point.h"

namespace crewmap::reader {
namespace {

// The joined text holds only digits and commas, so a non-empty field is a
// number. Anything else is refused too, should a caller pass other text.
bool IsNumber(std::string_view field) {
  if (field.empty()) return false;
  for (const char c : field)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool IsWorldPosition(std::string_view text) { return ParseWorldPoint(text).has_value(); }

bool PlausibleStep(std::string_view from, std::string_view to) {
  const auto a = ParseWorldPoint(from);
  const auto b = ParseWorldPoint(to);
  if (!a || !b) return false;
  int dx = a->x > b->x ? a->x - b->x : b->x - a->x;
  if (dx > kWorldWidth / 2) dx = kWorldWidth - dx;  // across the seam
  const int dy = a->y > b->y ? a->y - b->y : b->y - a->y;
  return (dx != 0 || dy != 0) && dx <= kLargestStep && dy <= kLargestStep;
}

std::string ValidatePosition(std::string_view joined) {
  const auto firstComma = joined.find(',');
  if (firstComma == std::string_view::npos) return {};
  const std::string_view first = joined.substr(0, firstComma);
  std::string_view second = joined.substr(firstComma + 1);
  if (const auto next = second.find(','); next != std::string_view::npos) second = second.substr(0, next);
  if (!IsNumber(first) || !IsNumber(second)) return {};
  return std::string(joined);
}

}  // namespace crewmap::reader
