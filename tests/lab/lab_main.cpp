// Test main of the router lab: a private Xvfb whose socket file no other
// program can take away. The lab's programs run in network namespaces of
// their own, where the X server's abstract socket (bound to the machine's
// own network namespace) cannot be reached; they connect through the socket
// file in /tmp/.X11-unix. Another X server started elsewhere for the same
// display number (one that cannot see our lock file's process) removes that
// file, so the test keeps /tmp/.X11-unix to itself: a mount namespace of its
// own with a private tmpfs there. Everything it starts (Xvfb, ip netns exec,
// xdotool) inherits it; the machine's own mounts are left as they are.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "support/xvfb_server.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Without root there is no lab (its tests skip), so nothing to protect.
  if (::geteuid() == 0) {
    ::mkdir("/tmp/.X11-unix", 01777);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_SLAVE, nullptr) != 0 ||
        ::mount("tmpfs", "/tmp/.X11-unix", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0)
      std::perror("router lab: no private /tmp/.X11-unix (other X servers may take the display's socket)");
  }
  crewmap::test::XvfbServer server;
  crewmap::test::EnsureTestDisplay(server);
  const int result = RUN_ALL_TESTS();
  server.Stop();
  return result;
}
