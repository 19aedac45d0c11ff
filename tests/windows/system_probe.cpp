// Tells a test on the Linux side what the Windows side sees:
//   system_probe.exe acp      the system's ANSI code page (932 on a Japanese system)
//   system_probe.exe client   the client area of the game window, as WxH
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "game_title.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "acp") == 0) {
    std::printf("%u\n", GetACP());
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "client") == 0) {
    const HWND window = FindWindowW(nullptr, crewmap::tests::kGameTitleWide);
    RECT client{};
    if (!window || !GetClientRect(window, &client)) return 1;
    std::printf("%ldx%ld\n", client.right - client.left, client.bottom - client.top);
    return 0;
  }
  std::fprintf(stderr, "usage: system_probe acp|client\n");
  return 2;
}
