#pragma once
// A private X server for one test program: Xvfb on a free display number
// (found by Xvfb itself through -displayfd), 24-bit colour, no TCP.
#include <sys/types.h>

#include <string>

namespace crewmap::test {

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Starts the server and sets DISPLAY for this process and its children.
  // Returns false (with a reason on stderr) when Xvfb cannot be started.
  bool Start(int width = 1920, int height = 1080);
  void Stop();
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// For benchmarks: keeps $DISPLAY when one is set, else starts `server`.
// False when there is no display and Xvfb cannot be started.
bool UseDisplayOrStart(XvfbServer& server);

// Starts Xvfb (of the size CREWMAP_TEST_SCREEN gives as WxH, else 1920 x
// 1080) unless CREWMAP_TEST_DISPLAY names a display to use; exits the
// program with a message when no X server can be had (never skips).
void EnsureTestDisplay(XvfbServer& server);

}  // namespace crewmap::test
