#pragma once
// The operating system's windows as the coordinate reader sees them: lookup of
// a top-level window by its exact title, a drawing context over its client
// area, its outer rectangle, its client area's size and whether it is
// minimised, single-pixel reads, and a copy of a block of pixels in one
// request that reads exactly as the single reads would. One backend per OS.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace crewmap::platform {

// 0 is the null handle: a context opened for it covers the whole screen.
using WindowHandle = std::uint64_t;
// 0 means no context could be obtained.
using DeviceContext = std::uint64_t;

struct WindowRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Colours are 0x00BBGGRR. A pixel that cannot be read (outside the drawable
// area, a vanished window) reads as this value.
inline constexpr std::uint32_t kInvalidColor = 0xFFFFFFFFu;

// A pixel position in client coordinates of a context.
struct PixelPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// A rectangle of pixels in client coordinates of a context.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// A copy of a rectangle of a context's pixels, taken with one request. Each
// pixel holds what a single-pixel read of it would have given at that moment,
// kInvalidColor included; a point outside the copied rectangle reads invalid.
class PixelBlock {
 public:
  // Sizes the copy to `rect` with every pixel set to `fill`.
  void Reset(const PixelRect& rect, std::uint32_t fill);
  const PixelRect& Rect() const { return rect_; }
  std::uint32_t At(std::int32_t x, std::int32_t y) const;
  // The pixels of one row of the copy (0 = the rectangle's top row).
  std::uint32_t* Row(std::int32_t row) { return colors_.data() + static_cast<std::size_t>(row) * rect_.width; }
  const std::uint32_t* Row(std::int32_t row) const {
    return colors_.data() + static_cast<std::size_t>(row) * rect_.width;
  }

 private:
  PixelRect rect_;
  std::vector<std::uint32_t> colors_;
};

// The client area of a window as its context sees it: its size in the same
// pixels the context reads, and whether the window is minimised (or otherwise
// not shown), when none of its pixels can be read.
struct ClientArea {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool minimised = false;
};

class WindowSource {
 public:
  virtual ~WindowSource() = default;
  // Top-level window whose title is exactly `title` (UTF-8); 0 when none.
  virtual WindowHandle FindWindowByTitle(std::string_view title) = 0;
  // Context of the window's client area; 0 when the window is gone.
  virtual DeviceContext GetDC(WindowHandle window) = 0;
  // Outer rectangle in screen coordinates, frame included. On failure returns
  // false and leaves `rect` untouched.
  virtual bool GetWindowRect(WindowHandle window, WindowRect& rect) = 0;
  // The client area's size and state. Ask while a context of the window is
  // open, so that both are in the units its pixels come in. False when the
  // backend cannot tell (or the window is gone).
  virtual bool GetClientArea(WindowHandle /*window*/, ClientArea& /*area*/) { return false; }
  // One pixel in client coordinates of the context, 0x00BBGGRR or kInvalidColor.
  virtual std::uint32_t GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) = 0;
  // The same single-pixel reads for several points at once (one read per
  // point, results in the order given). A backend may send them together to
  // save round trips; by default they are read one after the other.
  virtual void GetPixels(DeviceContext dc, const PixelPoint* points, std::size_t count, std::uint32_t* colors) {
    for (std::size_t i = 0; i < count; ++i) colors[i] = GetPixel(dc, points[i].x, points[i].y);
  }
  // Copies a rectangle of the context's pixels with one request, exactly as
  // single-pixel reads would give them. False when the backend cannot (or
  // this time could not) make the copy: the caller then reads pixel by pixel.
  virtual bool ReadBlock(DeviceContext /*dc*/, const PixelRect& /*rect*/, PixelBlock& /*block*/) { return false; }
  virtual void ReleaseDC(WindowHandle window, DeviceContext dc) = 0;
};

// The backend of the system this program was built for (X11 or Win32).
// Never null; on X11 without a display every lookup finds nothing and every
// context request fails.
std::unique_ptr<WindowSource> CreateSystemWindowSource();

}  // namespace crewmap::platform
