#include "platform/win32/win32_window_source.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace crewmap::platform {
namespace {

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }
HDC toHdc(DeviceContext dc) { return reinterpret_cast<HDC>(static_cast<std::uintptr_t>(dc)); }

}  // namespace

WindowHandle Win32WindowSource::FindWindowByTitle(std::string_view title) {
  // The wide call matches the title on any system code page; the narrow one
  // could not express "大航海時代 Online" on a non-Japanese system.
  const std::wstring wideTitle = Utf8ToWide(title);
  HWND found = FindWindowW(nullptr, wideTitle.c_str());
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(found));
}

DeviceContext Win32WindowSource::GetDC(WindowHandle window) {
  // The null handle gives the screen's context, as the system call does.
  HDC dc = ::GetDC(toHwnd(window));
  return static_cast<DeviceContext>(reinterpret_cast<std::uintptr_t>(dc));
}

bool Win32WindowSource::GetWindowRect(WindowHandle window, WindowRect& rect) {
  RECT r{};
  if (!::GetWindowRect(toHwnd(window), &r)) return false;
  rect.left = r.left;
  rect.top = r.top;
  rect.right = r.right;
  rect.bottom = r.bottom;
  return true;
}

std::uint32_t Win32WindowSource::GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) {
  if (dc == 0) return kInvalidColor;
  // CLR_INVALID is 0xFFFFFFFF, the same value as kInvalidColor; a COLORREF is
  // already laid out 0x00BBGGRR.
  return static_cast<std::uint32_t>(::GetPixel(toHdc(dc), x, y));
}

void Win32WindowSource::ReleaseDC(WindowHandle window, DeviceContext dc) {
  if (dc == 0) return;
  ::ReleaseDC(toHwnd(window), toHdc(dc));
}

std::unique_ptr<WindowSource> CreateSystemWindowSource() { return std::make_unique<Win32WindowSource>(); }

}  // namespace crewmap::platform
