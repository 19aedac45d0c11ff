// Tells a test on the Linux side what the Windows side sees:
//   system_probe.exe acp      the system's ANSI code page (932 on a Japanese system)
//   system_probe.exe client   the client area of the game window, as WxH
// and enters and reads back text without losing characters:
//   system_probe.exe type TEXT   TEXT as Unicode key input to the window that has
//                                the keyboard (SendInput inside Wine: no X key
//                                mapping in between, which xdotool needs for
//                                characters outside the keyboard's layout)
//   system_probe.exe clipboard   the clipboard's text, as UTF-8
// and where windows lie on the screen (left top right bottom):
//   system_probe.exe readout      the pixels the reader probes in the game window
//   system_probe.exe window TITLE the outer rectangle of the window titled TITLE
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game_title.h"
#include "reader/glyph.h"
#include "reader/origin.h"

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
  if (argc == 2 && std::strcmp(argv[1], "readout") == 0) {
    const HWND window = FindWindowW(nullptr, crewmap::tests::kGameTitleWide);
    RECT outer{};
    POINT client{0, 0};
    if (!window || !GetWindowRect(window, &outer) || !ClientToScreen(window, &client)) return 1;
    const auto origin = crewmap::reader::OriginForSize(outer.right - outer.left, outer.bottom - outer.top);
    const auto probes = crewmap::reader::ProbeArea(origin.x, origin.y, crewmap::reader::kCellCount,
                                                   crewmap::reader::kCellPitch);
    std::printf("%ld %ld %ld %ld\n", client.x + probes.left, client.y + probes.top,
                client.x + probes.left + probes.width, client.y + probes.top + probes.height);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "window") == 0) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide || count != 3) return 1;
    const HWND window = FindWindowW(nullptr, wide[2]);
    LocalFree(wide);
    RECT outer{};
    if (!window || !GetWindowRect(window, &outer)) return 1;
    std::printf("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "type") == 0) {
    // The text as the system hands it over in UTF-16, not in the code page.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide || count != 3) return 1;
    const std::wstring text = wide[2];
    LocalFree(wide);
    std::vector<INPUT> inputs;
    for (const wchar_t unit : text)
      for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = unit;
        input.ki.dwFlags = KEYEVENTF_UNICODE | up;
        inputs.push_back(input);
      }
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size() ? 0 : 1;
  }
  if (argc == 2 && std::strcmp(argv[1], "clipboard") == 0) {
    if (!OpenClipboard(nullptr)) return 1;
    std::string utf8;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (bytes > 1) {
          utf8.resize(static_cast<std::size_t>(bytes));
          WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), bytes, nullptr, nullptr);
          utf8.pop_back();  // the terminating zero
        }
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::printf("\n");
    return 0;
  }
  std::fprintf(stderr, "usage: system_probe acp|client|type TEXT|clipboard|readout|window TITLE\n");
  return 2;
}
