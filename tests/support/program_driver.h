#pragma once
// Drives separate GUI programs on the test's X server as a person would:
// starts them, finds their windows by title with xdotool, clicks, types and
// asks windows to close.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace crewmap::test {

// Runs a shell command in a UTF-8 locale (xdotool matches titles in the
// locale's encoding) and returns its standard output.
std::string Shell(const std::string& command);

struct CommandResult {
  int exitCode = -1;  // -1 when the command did not end normally
  std::string output;
};
// As Shell, and also tells how the command ended.
CommandResult RunCommand(const std::string& command);

std::string ReadFile(const std::filesystem::path& path);

// Polls `done` every 50 ms until it holds or `timeout` has passed.
template <class Done>
bool WaitFor(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// One program run as a child process, its standard error in a file; killed
// when still running at destruction.
class ProgramProcess {
 public:
  ProgramProcess(const std::filesystem::path& exe, const std::filesystem::path& log,
                 std::vector<std::pair<std::string, std::string>> environment = {});
  // A command with arguments (e.g. a Windows program under Wine); the first
  // word is looked up in PATH when it names no folder.
  ProgramProcess(std::vector<std::string> command, const std::filesystem::path& log,
                 std::vector<std::pair<std::string, std::string>> environment = {});
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Exited();
  // The exit code once Exited(), or -1 when the process did not end normally.
  int ExitCode() const;
  // The visible window of this process with exactly this title (0 if none yet).
  unsigned long Window(const std::string& title) const;
  unsigned long WaitWindow(const std::string& title) const;
  std::string Log() const { return ReadFile(log_); }

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
};

// A window's place and size on the screen, as the X server reports them.
struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};
Geometry WindowGeometry(unsigned long window);
bool Overlap(const Geometry& a, const Geometry& b);

// A left click at (x, y) inside the window.
void Click(unsigned long window, int x, int y);
void Type(const std::string& text);
// What a window manager does for the close button: WM_DELETE_WINDOW.
// False when the X server cannot be reached.
bool RequestClose(unsigned long window);

}  // namespace crewmap::test
