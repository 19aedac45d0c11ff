#include "map/position_text.h"

#include <cstddef>

#include "common/rounding.h"

namespace crewmap::map {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Parses digit by digit (no locale, no exceptions); values beyond 32 bits are
// caught afterwards, so the sum only has to stay finite, which a double does
// for any text length we will ever see.
std::optional<double> ParseNumber(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  bool negative = false;
  if (s.front() == '+' || s.front() == '-') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.size() > 64) return std::nullopt;
  double value = 0;
  std::size_t i = 0;
  std::size_t digits = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++digits) value = value * 10 + (s[i] - '0');
  if (i < s.size() && s[i] == '.') {
    double scale = 0.1;
    for (++i; i < s.size() && IsDigit(s[i]); ++i, ++digits, scale /= 10) value += (s[i] - '0') * scale;
  }
  if (i != s.size() || digits == 0) return std::nullopt;
  value = negative ? -value : value;
  if (!RoundToInt32(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<GamePosition> ParsePosition(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::string_view rest = text.substr(comma + 1);
  if (rest.find(',') != std::string_view::npos) return std::nullopt;
  const auto x = ParseNumber(text.substr(0, comma));
  const auto y = ParseNumber(rest);
  if (!x || !y) return std::nullopt;
  return GamePosition{*x, *y};
}

}  // namespace crewmap::map
