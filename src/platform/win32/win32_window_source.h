#pragma once
// The Win32 window source: FindWindowW, GetDC, GetWindowRect, GetPixel and
// ReleaseDC, with HWND and HDC carried as 64-bit handles.
#include "platform/window_source.h"

namespace crewmap::platform {

class Win32WindowSource final : public WindowSource {
 public:
  WindowHandle FindWindowByTitle(std::string_view title) override;
  DeviceContext GetDC(WindowHandle window) override;
  bool GetWindowRect(WindowHandle window, WindowRect& rect) override;
  std::uint32_t GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) override;
  void ReleaseDC(WindowHandle window, DeviceContext dc) override;
};

}  // namespace crewmap::platform
