#include "platform/window_source.h"

namespace crewmap::platform {

void PixelBlock::Reset(const PixelRect& rect, std::uint32_t fill) {
  rect_ = rect;
  if (rect_.width < 0) rect_.width = 0;
  if (rect_.height < 0) rect_.height = 0;
  colors_.assign(static_cast<std::size_t>(rect_.width) * static_cast<std::size_t>(rect_.height), fill);
}

std::uint32_t PixelBlock::At(std::int32_t x, std::int32_t y) const {
  // 64-bit differences: a probe far from the rectangle must not wrap into it.
  const std::int64_t col = std::int64_t{x} - rect_.left;
  const std::int64_t row = std::int64_t{y} - rect_.top;
  if (col < 0 || row < 0 || col >= rect_.width || row >= rect_.height) return kInvalidColor;
  return colors_[static_cast<std::size_t>(row * rect_.width + col)];
}

}  // namespace crewmap::platform
