#include "platform/win32/win32_window_source.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.h"

namespace crewmap::platform {
namespace {

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }
HDC toHdc(DeviceContext dc) { return reinterpret_cast<HDC>(static_cast<std::uintptr_t>(dc)); }

// The rectangles of the context's clipping region in its own coordinates:
// the pixels GetPixel answers. False when the region cannot be had.
bool ClippingRects(HDC dc, std::vector<RECT>& rects) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (!region) return false;
  bool ok = GetRandomRgn(dc, region, SYSRGN) == 1;  // the visible region, in screen coordinates
  if (ok) {
    // Only what lies on a screen: Wine's region also holds a window's parts
    // past the screen's edge, whose copy reads black, and a cut read-out
    // would then look whole and short.
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    if (HRGN screens = CreateRectRgn(left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                     top + GetSystemMetrics(SM_CYVIRTUALSCREEN))) {
      CombineRgn(region, region, screens, RGN_AND);
      DeleteObject(screens);
    }
  }
  POINT origin{};
  ok = ok && GetDCOrgEx(dc, &origin);
  if (ok) OffsetRgn(region, -origin.x, -origin.y);
  if (ok) {
    // A clipping region the application set narrows it further.
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    if (clip && GetClipRgn(dc, clip) == 1) CombineRgn(region, region, clip, RGN_AND);
    if (clip) DeleteObject(clip);
  }
  if (ok) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<unsigned char> bytes(size);
    ok = size >= sizeof(RGNDATAHEADER) && GetRegionData(region, size, reinterpret_cast<RGNDATA*>(bytes.data())) == size;
    if (ok) {
      const auto* data = reinterpret_cast<const RGNDATA*>(bytes.data());
      const auto* first = reinterpret_cast<const RECT*>(data->Buffer);
      rects.assign(first, first + data->rdh.nCount);
    }
  }
  DeleteObject(region);
  return ok;
}

// The DPI awareness calls of Windows 10 1607 and later, or null where the
// system has none. DPI_AWARENESS_CONTEXT is an opaque handle.
using AwarenessContext = HANDLE;
struct DpiCalls {
  AwarenessContext(WINAPI* windowAwareness)(HWND) = nullptr;
  AwarenessContext(WINAPI* setThreadAwareness)(AwarenessContext) = nullptr;
};

const DpiCalls& Dpi() {
  static const DpiCalls calls = [] {
    DpiCalls found;
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      found.windowAwareness = reinterpret_cast<decltype(found.windowAwareness)>(
          reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
      found.setThreadAwareness = reinterpret_cast<decltype(found.setThreadAwareness)>(
          reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
    }
    if (!found.windowAwareness || !found.setThreadAwareness) found = {};
    return found;
  }();
  return calls;
}

}  // namespace

WindowHandle Win32WindowSource::FindWindowByTitle(std::string_view title) {
  // The wide call matches the title on any system code page; the narrow one
  // could not express "大航海時代 Online" on a non-Japanese system.
  const std::wstring wideTitle = Utf8ToWide(title);
  HWND found = FindWindowW(nullptr, wideTitle.c_str());
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(found));
}

DeviceContext Win32WindowSource::GetDC(WindowHandle window) {
  // Wear the window's DPI awareness until ReleaseDC (see the header).
  AwarenessContext own = nullptr;
  if (window != 0 && Dpi().windowAwareness) {
    if (AwarenessContext theirs = Dpi().windowAwareness(toHwnd(window))) own = Dpi().setThreadAwareness(theirs);
  }
  // The null handle gives the screen's context, as the system call does.
  HDC dc = ::GetDC(toHwnd(window));
  const auto id = static_cast<DeviceContext>(reinterpret_cast<std::uintptr_t>(dc));
  if (own) {
    if (dc)
      ownAwareness_[id] = own;
    else
      Dpi().setThreadAwareness(own);
  }
  return id;
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

bool Win32WindowSource::GetClientArea(WindowHandle window, ClientArea& area) {
  RECT r{};
  if (window == 0 || !::GetClientRect(toHwnd(window), &r)) return false;
  area = {r.right - r.left, r.bottom - r.top, ::IsIconic(toHwnd(window)) != FALSE};
  return true;
}

std::uint32_t Win32WindowSource::GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) {
  if (dc == 0) return kInvalidColor;
  // CLR_INVALID is 0xFFFFFFFF, the same value as kInvalidColor; a COLORREF is
  // already laid out 0x00BBGGRR.
  return static_cast<std::uint32_t>(::GetPixel(toHdc(dc), x, y));
}

bool Win32WindowSource::ReadBlock(DeviceContext dc, const PixelRect& rect, PixelBlock& block) {
  if (dc == 0 || rect.width <= 0 || rect.height <= 0) return false;
  HDC source = toHdc(dc);
  std::vector<RECT> visible;
  if (!ClippingRects(source, visible)) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = rect.width;
  info.bmiHeader.biHeight = -rect.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) {
    if (dib) DeleteObject(dib);
    return false;
  }
  bool ok = false;
  if (HDC memory = CreateCompatibleDC(source)) {
    const HGDIOBJ previous = SelectObject(memory, dib);
    ok = BitBlt(memory, 0, 0, rect.width, rect.height, source, rect.left, rect.top, SRCCOPY) != 0;
    GdiFlush();  // the copy must be in the section before its bits are read
    if (ok) {
      block.Reset(rect, kInvalidColor);
      const auto* pixels = static_cast<const std::uint32_t*>(bits);  // 0x00RRGGBB
      const std::int64_t right = std::int64_t{rect.left} + rect.width;
      const std::int64_t bottom = std::int64_t{rect.top} + rect.height;
      for (const RECT& r : visible) {
        const std::int64_t l = std::max<std::int64_t>(r.left, rect.left);
        const std::int64_t t = std::max<std::int64_t>(r.top, rect.top);
        const std::int64_t rr = std::min<std::int64_t>(r.right, right);
        const std::int64_t b = std::min<std::int64_t>(r.bottom, bottom);
        for (std::int64_t y = t; y < b; ++y) {
          const std::uint32_t* from = pixels + (y - rect.top) * rect.width;
          std::uint32_t* to = block.Row(static_cast<std::int32_t>(y - rect.top));
          for (std::int64_t x = l; x < rr; ++x) {
            const std::uint32_t p = from[x - rect.left];
            to[x - rect.left] = (p >> 16 & 0xFFu) | (p & 0xFF00u) | (p & 0xFFu) << 16;  // to 0x00BBGGRR
          }
        }
      }
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
  DeleteObject(dib);
  return ok;
}

void Win32WindowSource::ReleaseDC(WindowHandle window, DeviceContext dc) {
  if (dc == 0) return;
  ::ReleaseDC(toHwnd(window), toHdc(dc));
  const auto own = ownAwareness_.find(dc);
  if (own != ownAwareness_.end()) {
    Dpi().setThreadAwareness(own->second);
    ownAwareness_.erase(own);
  }
}

std::unique_ptr<WindowSource> CreateSystemWindowSource() { return std::make_unique<Win32WindowSource>(); }

}  // namespace crewmap::platform
