#include "game_window.h"

#include <cstdio>

#include "readout_font.h"

namespace crewmap::gamesim_win32 {
namespace {

constexpr wchar_t kClassName[] = L"CrewmapGameSim";
// "大航海時代 Online", spelled as code points so the source encoding cannot matter.
constexpr wchar_t kTitle[] = L"\u5927\u822a\u6d77\u6642\u4ee3 Online";
constexpr COLORREF kSea = RGB(24, 70, 130);
constexpr COLORREF kDeepSea = RGB(16, 48, 96);

}  // namespace

std::optional<RECT> ParseCover(const std::string& text) {
  int x = 0, y = 0, w = 0, h = 0;
  char end = 0;
  if (std::sscanf(text.c_str(), "%d,%d,%d,%d%c", &x, &y, &w, &h, &end) != 4 || w <= 0 || h <= 0) return std::nullopt;
  return RECT{x, y, x + w, y + h};
}

GameWindow::GameWindow(std::string readout, HANDLE readyEvent, std::optional<ReadoutOrigin> readoutAt, bool decoys,
                       std::optional<RECT> cover)
    : readout_(std::move(readout)), readyEvent_(readyEvent), readoutAt_(readoutAt), decoys_(decoys), cover_(cover) {}

bool GameWindow::Create(int left, int top, int outerWidth, int outerHeight) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &GameWindow::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return false;
  hwnd_ = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, left, top, outerWidth, outerHeight,
                          nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  if (decoys_) SetTimer(hwnd_, 1, 1000, nullptr);  // the clock
  return true;
}

int GameWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

LRESULT CALLBACK GameWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<GameWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<GameWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return self->handle(msg, wParam, lParam);
}

LRESULT GameWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      paint(dc);
      EndPaint(hwnd_, &ps);
      GdiFlush();
      if (readyEvent_) {
        SetEvent(readyEvent_);
      }
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_SIZE:
    case WM_TIMER:
      // The read-out's place follows the client size; the clock ticks.
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!data || (data->dwData != kCopyDataReadout && data->dwData != kCopyDataCover)) return FALSE;
      const std::string text = data->cbData ? std::string(static_cast<const char*>(data->lpData), data->cbData) : "";
      if (data->dwData == kCopyDataReadout) {
        readout_ = text;
      } else {
        cover_ = ParseCover(text);
        if (!cover_ && !text.empty()) return FALSE;
      }
      // Repaint before answering, so the sender reads the new text at once.
      InvalidateRect(hwnd_, nullptr, FALSE);
      UpdateWindow(hwnd_);
      return TRUE;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wParam, lParam);
  }
}

void GameWindow::paint(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  // A calm sea in two bands; never pure white or black, so the only exact
  // white and black pixels are the read-out's.
  HBRUSH sea = CreateSolidBrush(kSea);
  HBRUSH deep = CreateSolidBrush(kDeepSea);
  RECT upper = client;
  upper.bottom = client.bottom / 2;
  RECT lower = client;
  lower.top = upper.bottom;
  FillRect(dc, &upper, sea);
  FillRect(dc, &lower, deep);
  DeleteObject(sea);
  DeleteObject(deep);

  const auto draw = [dc](const std::string& text, ReadoutOrigin at) {
    for (const ReadoutPixel& p : RenderReadout(text, at)) SetPixelV(dc, p.x, p.y, p.white ? RGB(255, 255, 255) : RGB(0, 0, 0));
  };
  if (decoys_) {
    // A price that reads as a place in the world, nearer the bottom-right
    // corner than the read-out; a clock that changes every second.
    draw("12,500", {client.right - 200, client.bottom - 60});
    SYSTEMTIME now;
    GetLocalTime(&now);
    char clock[16];
    wsprintfA(clock, "%02d %02d %02d", now.wHour, now.wMinute, now.wSecond);
    draw(clock, {client.right - 120, 12});
  }
  draw(readout_, readoutAt_ ? *readoutAt_ : ReadoutOriginFor(client.right, client.bottom));
  if (cover_) {
    HBRUSH box = CreateSolidBrush(RGB(0, 0, 0));  // a dark window in the outline's own black
    FillRect(dc, &*cover_, box);
    DeleteObject(box);
  }
}

}  // namespace crewmap::gamesim_win32
