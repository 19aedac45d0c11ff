#include "reader/readout_area.h"

#include <algorithm>

#include "reader/glyph.h"
#include "reader/origin.h"
#include "reader/readout_finder.h"
#include "reader/whole_glyphs.h"

namespace crewmap::reader {
namespace {

// Keeps a screen coordinate or size where sums of a few of them stay in 32 bits.
std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
}

}  // namespace

platform::PixelRect ReadoutOnScreen(const platform::WindowRect& outer) {
  const std::int64_t width = std::int64_t{outer.right} - outer.left;
  const std::int64_t height = std::int64_t{outer.bottom} - outer.top;
  if (width <= 0 || height <= 0) return {};
  const ReadoutOrigin origin = OriginForSize(width, height);
  const platform::PixelRect probes = ProbeArea(origin.x, origin.y, kCellCount, kCellPitch);
  // The frame's share of the outer size is not known (a client smaller than
  // the table's row leaves it anywhere up to the whole frame).
  const std::int64_t frameLeft = std::min<std::int64_t>(width, kMaxFrameLeft);
  const std::int64_t frameTop = std::min<std::int64_t>(height, kMaxFrameTop);
  constexpr int kOutline = 1;
  const std::int64_t left = std::int64_t{outer.left} + probes.left - kOutline;
  const std::int64_t top = std::int64_t{outer.top} + probes.top - kOutline;
  const std::int64_t w = probes.width + 2 * kOutline + frameLeft;
  const std::int64_t h = probes.height + 2 * kOutline + frameTop;
  return {Clamp32(left), Clamp32(top), Clamp32(w), Clamp32(h)};
}

platform::PixelRect CornerReadoutOnScreen(const platform::WindowRect& outer) {
  const std::int64_t width = std::int64_t{outer.right} - outer.left;
  const std::int64_t height = std::int64_t{outer.bottom} - outer.top;
  const auto corner = CornerOrigin(static_cast<std::int32_t>(std::min<std::int64_t>(width, INT32_MAX)),
                                   static_cast<std::int32_t>(std::min<std::int64_t>(height, INT32_MAX)));
  if (width <= 0 || height <= 0 || !corner) return {};
  // From a client corner at the outer corner to one a whole border inside it.
  const platform::PixelRect cells = WholeGlyphArea(*corner);
  const std::int64_t left = std::int64_t{outer.left} + cells.left - kMaxFrameLeft;
  const std::int64_t top = std::int64_t{outer.top} + cells.top - kMaxFrameLeft;
  return {Clamp32(left), Clamp32(top), cells.width + kMaxFrameLeft, cells.height + kMaxFrameLeft};
}

}  // namespace crewmap::reader
