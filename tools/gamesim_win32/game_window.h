#pragma once
// The substitute game window: a top-level Win32 window titled
// "大航海時代 Online" that paints a sea and the coordinate read-out where the
// game draws it (78 left of and 272 above the client area's bottom-right
// corner) or at a place given, and on request digits in the read-out's font
// elsewhere (a price, a clock) that must never pass for it.
#include <windows.h>

#include <optional>
#include <string>

#include "readout_font.h"

namespace crewmap::gamesim_win32 {

// WM_COPYDATA with this dwData replaces the read-out text (ASCII bytes; none
// takes the read-out away, as a loading screen does).
inline constexpr ULONG_PTR kCopyDataReadout = 0x43524D31;  // "CRM1"
// WM_COPYDATA with this dwData places a plain box over everything ("X,Y,W,H"
// in client pixels, ASCII), or takes it away (no bytes).
inline constexpr ULONG_PTR kCopyDataCover = 0x43524D32;  // "CRM2"

// A box "X,Y,W,H"; nothing when malformed.
std::optional<RECT> ParseCover(const std::string& text);

class GameWindow {
 public:
  GameWindow(std::string readout, HANDLE readyEvent, std::optional<ReadoutOrigin> readoutAt, bool decoys,
             std::optional<RECT> cover = std::nullopt);
  // Creates and shows the window with the given outer rectangle; false on failure.
  bool Create(int left, int top, int outerWidth, int outerHeight);
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc);

  HWND hwnd_ = nullptr;
  std::string readout_;
  HANDLE readyEvent_ = nullptr;  // set once the first paint is on the screen
  std::optional<ReadoutOrigin> readoutAt_;
  bool decoys_ = false;
  std::optional<RECT> cover_;
};

}  // namespace crewmap::gamesim_win32
