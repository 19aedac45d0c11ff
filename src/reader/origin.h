#pragma once
// Where the coordinate read-out lies in the game window's client area, chosen
// from the window's outer size. Width and height are looked up independently.
#include <cstdint>

namespace crewmap::reader {

struct ReadoutOrigin {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const ReadoutOrigin&) const = default;
};

// x origin for an outer width: 1202, 1074, 946, 722, or 0 below 800.
std::int32_t XOriginForWidth(std::int64_t width);
// y origin for an outer height: 688, 592, 496, 328, or 0 below 600.
std::int32_t YOriginForHeight(std::int64_t height);
ReadoutOrigin OriginForSize(std::int64_t width, std::int64_t height);

// Cells of the read-out: twelve, 6 pixels apart.
inline constexpr int kCellCount = 12;
inline constexpr int kCellPitch = 6;

}  // namespace crewmap::reader
