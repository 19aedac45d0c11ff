#pragma once
// Runs gamesim_win32.exe (the substitute game window) as a child process for
// a test and talks to its window.
#include <windows.h>

#include <string>

namespace crewmap::tests {

class GameSimProcess {
 public:
  GameSimProcess() = default;
  GameSimProcess(const GameSimProcess&) = delete;
  GameSimProcess& operator=(const GameSimProcess&) = delete;
  ~GameSimProcess();

  // Starts the window with the given outer size and read-out and waits until
  // it has painted and can be found by its title. False (with `error` set)
  // when it did not come up in time. `more`: further options (L"--client 1920x1080").
  bool Start(int outerWidth, int outerHeight, const std::string& readout, std::string& error,
             const std::wstring& more = L"");
  // Replaces the read-out ("" takes it away); returns once the window has repainted.
  bool SetReadout(const std::string& readout);
  // Places a plain box over everything ("X,Y,W,H" in client pixels; "" takes it away).
  bool SetCover(const std::string& box);
  // Ends the process and waits until its window is gone.
  void Stop();

  HWND Window() const { return window_; }

 private:
  bool Send(ULONG_PTR kind, const std::string& bytes);
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// The game window's title as the wide system calls take it.
std::wstring GameTitleWide();

}  // namespace crewmap::tests
