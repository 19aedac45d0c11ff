#include "support/xvfb_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace crewmap::test {

XvfbServer::~XvfbServer() { Stop(); }

bool XvfbServer::Start(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string fdText = std::to_string(fds[1]);
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    close(fds[0]);
    // Keep the server quiet; a failure shows up as no display number.
    FILE* devnull = std::fopen("/dev/null", "w");
    if (devnull) dup2(fileno(devnull), STDERR_FILENO);
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(),
           "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd pfd{fds[0], POLLIN, 0};
  // Xvfb writes the display number followed by a newline once it accepts clients.
  while (number.find('\n') == std::string::npos && poll(&pfd, 1, 15000) > 0) {
    char buf[32];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (number.empty()) {
    std::fprintf(stderr, "Xvfb did not start (is the xvfb package installed?)\n");
    Stop();
    return false;
  }
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
  return true;
}

void XvfbServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

bool UseDisplayOrStart(XvfbServer& server) {
  const char* display = std::getenv("DISPLAY");
  return (display && *display) || server.Start();
}

void EnsureTestDisplay(XvfbServer& server) {
  if (const char* given = std::getenv("CREWMAP_TEST_DISPLAY"); given && *given) {
    setenv("DISPLAY", given, 1);
    return;
  }
  // A test program may ask for a larger screen (game windows of 2560 x 1440).
  int width = 1920, height = 1080;
  if (const char* size = std::getenv("CREWMAP_TEST_SCREEN")) std::sscanf(size, "%dx%d", &width, &height);
  if (!server.Start(width, height)) {
    std::fprintf(stderr, "no X server for this test program\n");
    std::exit(2);
  }
}

}  // namespace crewmap::test
