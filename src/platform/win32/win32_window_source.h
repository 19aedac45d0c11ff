#pragma once
// The Win32 window source: FindWindowW, GetDC, GetWindowRect, GetPixel and
// ReleaseDC, with HWND and HDC carried as 64-bit handles. A block read is one
// BitBlt from the window's context into a 32-bit DIB section.
#include "platform/window_source.h"

namespace crewmap::platform {

class Win32WindowSource final : public WindowSource {
 public:
  WindowHandle FindWindowByTitle(std::string_view title) override;
  DeviceContext GetDC(WindowHandle window) override;
  bool GetWindowRect(WindowHandle window, WindowRect& rect) override;
  std::uint32_t GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) override;
  // Pixels outside the context's clipping region (off the screen, covered,
  // outside the client area, a minimised window) read invalid, as GetPixel
  // reads them.
  bool ReadBlock(DeviceContext dc, const PixelRect& rect, PixelBlock& block) override;
  void ReleaseDC(WindowHandle window, DeviceContext dc) override;
};

}  // namespace crewmap::platform
