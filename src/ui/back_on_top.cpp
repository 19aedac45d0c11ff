#include "ui/back_on_top.h"

#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#endif

namespace crewmap::ui {

void PutBackOnTop(QWidget& window) {
#ifdef _WIN32
  // A window that is topmost already and first among the topmost is not
  // moved by a raise, even where another one covers it on the screen (Wine
  // maps the new window above it); leaving the topmost band and entering it
  // again puts it first for certain, without taking the focus.
  const HWND hwnd = reinterpret_cast<HWND>(window.winId());
  constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, kKeep);
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kKeep);
#else
  window.raise();
#endif
}

}  // namespace crewmap::ui
