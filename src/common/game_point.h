#pragma once
// A spot in the world in whole game units (x eastwards, y southwards), as
// positions and the group's meeting point are written on the wire ("x,y").
#include <cstdint>
#include <optional>
#include <string_view>

namespace crewmap {

struct GamePoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const GamePoint&) const = default;
};

// The world: x from 0 to 16383 (it wraps east-west), y from 0 to 8191.
inline constexpr std::int32_t kWorldWidth = 16384;
inline constexpr std::int32_t kWorldHeight = 8192;

// "x,y" naming a spot in the world: two plain decimals (at most five digits
// each, no sign or blanks) joined by one comma; nothing for anything else.
inline std::optional<GamePoint> ParseWorldPoint(std::string_view text) {
  const auto number = [](std::string_view digits, std::int32_t limit) -> std::optional<std::int32_t> {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    std::int32_t value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value >= limit) return std::nullopt;
    return value;
  };
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const auto x = number(text.substr(0, comma), kWorldWidth);
  const auto y = number(text.substr(comma + 1), kWorldHeight);
  if (!x || !y) return std::nullopt;
  return GamePoint{*x, *y};
}

}  // namespace crewmap
