#pragma once
// Recognises one character cell of the game's coordinate read-out from a few
// single-pixel reads with exact colour comparisons.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/window_source.h"

namespace crewmap::reader {

// Exact colours (0x00BBGGRR); there is no tolerance.
inline constexpr std::uint32_t kWhite = 0x00FFFFFFu;
inline constexpr std::uint32_t kBlack = 0x00000000u;

// Reads one pixel of the game window's client area; returns 0x00BBGGRR or
// platform::kInvalidColor when the pixel cannot be read.
using PixelRead = std::function<std::uint32_t(std::int32_t x, std::int32_t y)>;
// Reads the pixels of one step of the decision (up to three) together.
using PixelStepRead =
    std::function<void(const platform::PixelPoint* points, std::size_t count, std::uint32_t* colors)>;

// The character in the cell whose origin is (x, y): "0".."9", "," or empty.
// Reads between two and nine pixels, step by step, only as far as the
// decision needs; the pixels of one step are asked for together.
// A probe whose coordinate does not fit 32 bits counts as unreadable.
std::string ReadGlyph(const PixelStepRead& read, std::int32_t x, std::int32_t y);
// The same with one read at a time.
std::string ReadGlyph(const PixelRead& read, std::int32_t x, std::int32_t y);

// The smallest rectangle that holds every pixel the decision may probe in
// `cells` cells `pitch` pixels apart along x, the first with its origin at
// (x, y). Empty (width 0) when `cells` is not positive or the rectangle
// would leave the 32-bit range.
platform::PixelRect ProbeArea(std::int32_t x, std::int32_t y, int cells, int pitch);

// The same through a live device context of a window source.
std::string ReadGlyph(platform::WindowSource& source, platform::DeviceContext dc, std::int32_t x,
                      std::int32_t y);

}  // namespace crewmap::reader
