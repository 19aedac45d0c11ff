#include "game_sim_process.h"

#include <string>

#include "game_title.h"

namespace crewmap::tests {
namespace {

// gamesim_win32.exe relative to this test program's folder.
std::wstring gameSimPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  path.erase(path.find_last_of(L"\\/") + 1);
  for (const char* p = GAMESIM_RELATIVE; *p; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  return path;
}

constexpr DWORD kStartTimeoutMs = 60000;  // Wine may start a process slowly on a busy machine

}  // namespace

std::wstring GameTitleWide() { return kGameTitleWide; }

GameSimProcess::~GameSimProcess() { Stop(); }

bool GameSimProcess::Start(int outerWidth, int outerHeight, const std::string& readout, std::string& error,
                           const std::wstring& more) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE ready = CreateEventW(&inherit, TRUE, FALSE, nullptr);
  if (!ready) {
    error = "CreateEvent failed";
    return false;
  }
  std::wstring cmd = L"\"" + gameSimPath() + L"\" --at 20,20 --size " + std::to_wstring(outerWidth) + L"x" +
                     std::to_wstring(outerHeight) + L" --ready " +
                     std::to_wstring(reinterpret_cast<std::uintptr_t>(ready)) + L" --text \"";
  for (char c : readout) cmd.push_back(static_cast<wchar_t>(c));
  cmd += L"\" " + more;

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &process_)) {
    error = "CreateProcess failed: " + std::to_string(GetLastError());
    CloseHandle(ready);
    return false;
  }
  HANDLE waits[2] = {ready, process_.hProcess};
  const DWORD w = WaitForMultipleObjects(2, waits, FALSE, kStartTimeoutMs);
  CloseHandle(ready);
  if (w != WAIT_OBJECT_0) {
    error = w == WAIT_OBJECT_0 + 1 ? "gamesim_win32 exited early" : "gamesim_win32 did not paint in time";
    Stop();
    return false;
  }
  window_ = FindWindowW(nullptr, kGameTitleWide);
  if (!window_) {
    error = "the painted window cannot be found by its title";
    Stop();
    return false;
  }
  return true;
}

bool GameSimProcess::SetReadout(const std::string& readout) { return Send(0x43524D31, readout); }  // "CRM1"

bool GameSimProcess::SetCover(const std::string& box) { return Send(0x43524D32, box); }  // "CRM2"

bool GameSimProcess::Send(ULONG_PTR kind, const std::string& bytes) {
  if (!window_) return false;
  COPYDATASTRUCT data{};
  data.dwData = kind;  // gamesim_win32's messages: the read-out, the cover
  data.cbData = static_cast<DWORD>(bytes.size());
  data.lpData = const_cast<char*>(bytes.data());
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000,
                             &result) != 0 &&
         result == TRUE;
}

void GameSimProcess::Stop() {
  if (!process_.hProcess) return;
  TerminateProcess(process_.hProcess, 0);
  WaitForSingleObject(process_.hProcess, 30000);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  process_ = {};
  // The window goes with its process; wait until the lookup no longer finds it.
  for (int i = 0; i < 300 && window_ && IsWindow(window_); ++i) Sleep(20);
  window_ = nullptr;
}

}  // namespace crewmap::tests
