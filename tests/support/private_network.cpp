#include "support/private_network.h"

#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace crewmap::test {
namespace {

bool g_private = false;
// Why the test runs in the machine's network.
std::string g_shared = "no private network namespace was asked for (CTest asks with CREWMAP_TEST_PRIVATE_NETWORK=1)";

bool WriteFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

bool LoopbackUp(std::string& why) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    why = std::string("no socket: ") + std::strerror(errno);
    return false;
  }
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (ok) {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  if (!ok) why = std::string("loopback not brought up: ") + std::strerror(errno);
  ::close(fd);
  return ok;
}

}  // namespace

bool EnterPrivateNetwork(std::string& why) {
  if (::unshare(CLONE_NEWNET) != 0) {
    const int plain = errno;
    // Without root: a user namespace of our own grants the right to make a
    // network namespace. Our user and group are mapped onto themselves, so
    // files keep their owner as the rest of the system sees it.
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
      why = std::string("no network namespace (") + std::strerror(plain) + "; as user: " + std::strerror(errno) + ")";
      return false;
    }
    WriteFile("/proc/self/setgroups", "deny");
    if (!WriteFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
        !WriteFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n")) {
      why = "user namespace without an id map";
      return false;
    }
  }
  if (!LoopbackUp(why)) return false;
  g_private = true;
  return true;
}

void EnterPrivateNetworkIfAsked() {
  if (!std::getenv("CREWMAP_TEST_PRIVATE_NETWORK")) return;
  std::string why;
  if (EnterPrivateNetwork(why))
    std::fprintf(stderr, "[private network] this test runs in a network namespace of its own\n");
  else
    std::fprintf(stderr, "[private network] running in the machine's network: %s\n", why.c_str());
  if (!g_private) g_shared = why + " (run as root, or allow user namespaces)";
}

bool InPrivateNetwork() { return g_private; }

bool FixedPortUsable(int port, std::string& why) {
  if (g_private) return true;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    why = std::string("no socket: ") + std::strerror(errno);
    return false;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  const bool free = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const int error = errno;
  ::close(fd);
  if (!free)
    why = "port " + std::to_string(port) + " is held by another program (" + std::strerror(error) +
          ") and this test runs in the machine's network: " + g_shared;
  return free;
}

}  // namespace crewmap::test
