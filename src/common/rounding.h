#pragma once
// A floating-point result stored into an integer is rounded to the nearest
// integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace crewmap {

inline double RoundHalfEven(double value) {
  // std::nearbyint follows the current rounding mode, which is
  // round-to-nearest-even unless someone changed it; be explicit instead.
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

// Rounds and narrows to a 32-bit signed integer; nothing when out of range
// or not finite.
inline std::optional<std::int32_t> RoundToInt32(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double r = RoundHalfEven(value);
  if (r < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      r > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::nullopt;
  return static_cast<std::int32_t>(r);
}

// Rounds and clamps into the 32-bit range; for geometry that must never
// overflow (NaN gives 0).
inline std::int32_t RoundClampInt32(double value) {
  if (std::isnan(value)) return 0;
  const double r = RoundHalfEven(value);
  if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(r);
}

}  // namespace crewmap
