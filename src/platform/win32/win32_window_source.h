#pragma once
// The Win32 window source: FindWindowW, GetDC, GetWindowRect, GetPixel and
// ReleaseDC, with HWND and HDC carried as 64-bit handles. A block read is one
// BitBlt from the window's context into a 32-bit DIB section.
//
// Display scaling. Qt makes this program DPI-aware. A game that is not is
// scaled by Windows, and a DPI-aware thread is then told the game window's
// size in scaled (physical) pixels while the game's device context holds its
// own, unscaled ones: the read-out's place, taken from the size table, would
// miss. So while a context of a window is open (GetDC to ReleaseDC, which
// spans the capture's size query and its pixel reads) the calling thread
// takes that window's DPI awareness, and gets its own back at ReleaseDC; both
// the size and the pixels are then in the game's own units. The two calls
// for it (GetWindowDpiAwarenessContext, SetThreadDpiAwarenessContext) came
// with Windows 10 1607 and are looked up at run time: where they are missing
// nothing changes.
#include <unordered_map>

#include "platform/window_source.h"

namespace crewmap::platform {

class Win32WindowSource final : public WindowSource {
 public:
  WindowHandle FindWindowByTitle(std::string_view title) override;
  DeviceContext GetDC(WindowHandle window) override;
  bool GetWindowRect(WindowHandle window, WindowRect& rect) override;
  // GetClientRect and IsIconic; within GetDC and ReleaseDC in the game's units.
  bool GetClientArea(WindowHandle window, ClientArea& area) override;
  std::uint32_t GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) override;
  // Pixels outside the context's clipping region (off the screen, covered,
  // outside the client area, a minimised window) read invalid, as GetPixel
  // reads them.
  bool ReadBlock(DeviceContext dc, const PixelRect& rect, PixelBlock& block) override;
  void ReleaseDC(WindowHandle window, DeviceContext dc) override;

 private:
  // The thread's own DPI awareness context, to restore at ReleaseDC, for
  // each context opened while the thread wore its window's.
  std::unordered_map<DeviceContext, void*> ownAwareness_;
};

}  // namespace crewmap::platform
