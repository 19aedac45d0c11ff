// Tells a test on the Linux side what the Windows side sees:
//   system_probe.exe acp      the system's ANSI code page (932 on a Japanese system)
//   system_probe.exe client   the client area of the game window, as WxH
//   system_probe.exe resources FILE
//                             what Windows reads from an executable's
//                             resources: its version texts, the sizes of its
//                             first icon group (each picture decoded), and
//                             whether its manifest is there
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

namespace {

// The command line's argument `index` as the system passed it, in full
// Unicode (a folder name outside the ANSI code page survives).
std::wstring Argument(int index) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring argument = arguments && index < count ? arguments[index] : L"";
  LocalFree(arguments);
  return argument;
}

// Version texts as Explorer's Properties shows them, in the language the
// file's translation table names first; "version=none" without any.
void PrintVersion(const std::wstring& file) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  std::string block(size, '\0');
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
    std::printf("version=none\n");
    return;
  }
  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation)) {
    std::printf("version=no-translation\n");
    return;
  }
  std::printf("translation=%04x%04x\n", translation->language, translation->codePage);
  for (const char* name : {"ProductName", "FileDescription", "FileVersion", "ProductVersion", "LegalCopyright"}) {
    wchar_t path[128];
    swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%hs", translation->language, translation->codePage, name);
    wchar_t* value = nullptr;
    UINT chars = 0;
    char narrow[256] = "";
    if (VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &chars) && value)
      WideCharToMultiByte(CP_UTF8, 0, value, -1, narrow, sizeof narrow, nullptr, nullptr);
    std::printf("%s=%s\n", name, narrow);
  }
}

// A resource's name: a number, or a text that is valid only inside the
// enumeration's callback and so is copied.
struct ResourceName {
  LPWSTR id = nullptr;
  std::wstring text;
  LPCWSTR get() const { return text.empty() ? id : text.c_str(); }
};

BOOL CALLBACK FirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  auto& first = *reinterpret_cast<ResourceName*>(found);
  if (IS_INTRESOURCE(name))
    first.id = name;
  else
    first.text = name;
  return FALSE;
}

// The first icon group: every picture's width (0 in the directory means 256),
// each only if Windows can make an icon of it.
void PrintIcons(HMODULE module) {
  ResourceName group;
  EnumResourceNamesW(module, RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&group));
  HRSRC found = group.get() ? FindResourceW(module, group.get(), RT_GROUP_ICON) : nullptr;
  const auto* directory = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  std::string sizes;
  if (directory) {
    // GRPICONDIR: reserved, type, count; then 14-byte entries whose first
    // byte is the width and whose last two bytes are the picture's id.
    const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    for (WORD i = 0; i < count; ++i) {
      const BYTE* entry = directory + 6 + 14 * i;
      const int width = entry[0] ? entry[0] : 256;
      const WORD id = *reinterpret_cast<const WORD*>(entry + 12);
      HRSRC picture = FindResourceW(module, MAKEINTRESOURCEW(id), RT_ICON);
      auto* bits = picture ? static_cast<BYTE*>(LockResource(LoadResource(module, picture))) : nullptr;
      HICON icon = bits ? CreateIconFromResourceEx(bits, SizeofResource(module, picture), TRUE, 0x00030000, width,
                                                   width, LR_DEFAULTCOLOR)
                        : nullptr;
      if (!sizes.empty()) sizes += ',';
      sizes += std::to_string(width) + (icon ? "" : "(unreadable)");
      if (icon) DestroyIcon(icon);
    }
  }
  std::printf("icons=%s\n", sizes.c_str());
}

// The manifest Windows applies at start: resource type 24, id 1.
void PrintManifest(HMODULE module) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  const auto* text = found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : nullptr;
  const std::string manifest = text ? std::string(text, SizeofResource(module, found)) : std::string();
  std::printf("manifest=%s\n", manifest.empty() ? "none" : "present");
  std::printf("win10=%d\n", manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}") != std::string::npos);
  std::printf("dpi=%s\n", manifest.find(">PerMonitorV2<") != std::string::npos ? "PerMonitorV2" : "other");
}

int PrintResources() {
  const std::wstring path = Argument(2);
  PrintVersion(path);
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return 1;
  PrintIcons(module);
  // The icon group Qt's Windows platform plugin gives every window's class.
  std::printf("IDI_ICON1=%s\n", FindResourceW(module, L"IDI_ICON1", RT_GROUP_ICON) ? "present" : "none");
  PrintManifest(module);
  FreeLibrary(module);
  return 0;
}

}  // namespace

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
  if (argc == 3 && std::strcmp(argv[1], "resources") == 0) return PrintResources();
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
    const HWND window = FindWindowW(nullptr, Argument(2).c_str());
    RECT outer{};
    if (!window || !GetWindowRect(window, &outer)) return 1;
    std::printf("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "type") == 0) {
    // The text as the system hands it over in UTF-16, not in the code page.
    const std::wstring text = Argument(2);
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
  std::fprintf(stderr, "usage: system_probe acp|client|resources FILE|type TEXT|clipboard|readout|window TITLE\n");
  return 2;
}
