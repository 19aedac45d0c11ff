#include "support/program_driver.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace crewmap::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  if (FILE* pipe = ::popen(("LC_ALL=C.UTF-8 " + command).c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) result.output += buffer;
    const int status = ::pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  }
  return result;
}

std::string Shell(const std::string& command) { return RunCommand(command).output; }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ProgramProcess::ProgramProcess(const fs::path& exe, const fs::path& log,
                               std::vector<std::pair<std::string, std::string>> environment)
    : ProgramProcess(std::vector<std::string>{exe.string()}, log, std::move(environment)) {}

ProgramProcess::ProgramProcess(std::vector<std::string> command, const fs::path& log,
                               std::vector<std::pair<std::string, std::string>> environment)
    : log_(log) {
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 2);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
}

ProgramProcess::~ProgramProcess() {
  if (pid_ > 0 && !Exited()) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool ProgramProcess::Exited() {
  if (exited_) return true;
  exited_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
  return exited_;
}

int ProgramProcess::ExitCode() const { return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

unsigned long ProgramProcess::Window(const std::string& title) const {
  const std::string out = Shell("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                " --name '^" + title + "$' 2>/dev/null");
  return out.empty() ? 0 : std::stoul(out);
}

unsigned long ProgramProcess::WaitWindow(const std::string& title) const {
  unsigned long id = 0;
  WaitFor([&] { return (id = Window(title)) != 0; });
  return id;
}

Geometry WindowGeometry(unsigned long window) {
  Geometry g;
  std::istringstream in(Shell("xdotool getwindowgeometry --shell " + std::to_string(window)));
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const int value = std::atoi(line.c_str() + eq + 1);
    const std::string key = line.substr(0, eq);
    if (key == "X") g.x = value;
    if (key == "Y") g.y = value;
    if (key == "WIDTH") g.width = value;
    if (key == "HEIGHT") g.height = value;
  }
  return g;
}

bool Overlap(const Geometry& a, const Geometry& b) {
  return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < b.x + b.width &&
         b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

void Click(unsigned long window, int x, int y) {
  Shell("xdotool mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " +
        std::to_string(y) + " click 1");
  std::this_thread::sleep_for(150ms);
}

void Type(const std::string& text) { Shell("xdotool type --delay 15 '" + text + "'"); }

bool RequestClose(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
  return true;
}

}  // namespace crewmap::test
