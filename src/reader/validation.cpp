#include "reader/validation.h"

#include <optional>

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

struct WorldPoint {
  int x;
  int y;
};

std::optional<int> SmallNumber(std::string_view field, int below) {
  if (!IsNumber(field) || field.size() > 5) return std::nullopt;
  int value = 0;
  for (const char c : field) value = value * 10 + (c - '0');
  if (value >= below) return std::nullopt;
  return value;
}

std::optional<WorldPoint> ParseWorld(std::string_view text) {
  const auto comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const auto x = SmallNumber(text.substr(0, comma), kWorldWidth);
  const auto y = SmallNumber(text.substr(comma + 1), kWorldHeight);
  if (!x || !y) return std::nullopt;
  return WorldPoint{*x, *y};
}

}  // namespace

bool IsWorldPosition(std::string_view text) { return ParseWorld(text).has_value(); }

bool PlausibleStep(std::string_view from, std::string_view to) {
  const auto a = ParseWorld(from);
  const auto b = ParseWorld(to);
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
