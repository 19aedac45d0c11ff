// gamesim_win32: a stand-in for the game's window on Windows (and Wine).
//   gamesim_win32.exe [--size WxH | --client WxH] [--at X,Y] [--text 14175,7410] [--ready HANDLE]
//                     [--readout-at X,Y] [--decoys] [--cover X,Y,W,H]
// --size is the outer size, frame included (default 806x629); --client asks
// for that client area instead, with whatever frame the system draws; --at the outer
// top-left on the screen; --text the read-out as drawn; --ready an inherited
// event handle (decimal) that is set once the first paint is done;
// --readout-at the read-out's first cell in client coordinates instead of the
// game's place; --decoys a price and a clock in the read-out's font; --cover
// a plain box over everything at that client place and size (a tooltip).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "game_window.h"

namespace {

bool parsePair(const char* text, char sep, long& a, long& b) {
  char* end = nullptr;
  a = std::strtol(text, &end, 10);
  if (end == text || *end != sep) return false;
  const char* second = end + 1;
  b = std::strtol(second, &end, 10);
  return end != second && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  long width = 806, height = 629, left = 40, top = 40;
  std::string text = "14175,7410";
  HANDLE ready = nullptr;
  std::optional<crewmap::gamesim_win32::ReadoutOrigin> readoutAt;
  bool decoys = false;
  std::optional<RECT> cover;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
      if (!parsePair(argv[++i], 'x', width, height)) {
        std::fprintf(stderr, "gamesim_win32: --size wants WxH\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--client") == 0 && hasValue) {
      RECT outer{0, 0, 0, 0};
      if (!parsePair(argv[++i], 'x', outer.right, outer.bottom) ||
          !AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0)) {
        std::fprintf(stderr, "gamesim_win32: --client wants WxH\n");
        return 2;
      }
      width = outer.right - outer.left;
      height = outer.bottom - outer.top;
    } else if (std::strcmp(argv[i], "--at") == 0 && hasValue) {
      if (!parsePair(argv[++i], ',', left, top)) {
        std::fprintf(stderr, "gamesim_win32: --at wants X,Y\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--readout-at") == 0 && hasValue) {
      long x = 0, y = 0;
      if (!parsePair(argv[++i], ',', x, y)) {
        std::fprintf(stderr, "gamesim_win32: --readout-at wants X,Y\n");
        return 2;
      }
      readoutAt = crewmap::gamesim_win32::ReadoutOrigin{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
    } else if (std::strcmp(argv[i], "--decoys") == 0) {
      decoys = true;
    } else if (std::strcmp(argv[i], "--cover") == 0 && hasValue) {
      if (!(cover = crewmap::gamesim_win32::ParseCover(argv[++i]))) {
        std::fprintf(stderr, "gamesim_win32: --cover wants X,Y,W,H\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--text") == 0 && hasValue) {
      text = argv[++i];
    } else if (std::strcmp(argv[i], "--ready") == 0 && hasValue) {
      ready = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(argv[++i], nullptr, 10)));
    } else {
      std::fprintf(stderr,
                   "usage: gamesim_win32 [--size WxH | --client WxH] [--at X,Y] [--text READOUT] [--ready HANDLE]"
                   " [--readout-at X,Y] [--decoys] [--cover X,Y,W,H]\n");
      return 2;
    }
  }
  crewmap::gamesim_win32::GameWindow window(text, ready, readoutAt, decoys, cover);
  if (!window.Create(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                     static_cast<int>(height))) {
    std::fprintf(stderr, "gamesim_win32: cannot create the window (error %lu)\n", GetLastError());
    return 1;
  }
  return window.Run();
}
