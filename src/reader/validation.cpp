#include "reader/validation.h"

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
