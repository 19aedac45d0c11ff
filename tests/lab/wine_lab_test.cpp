// The Windows program as a user gets it (the zip, run under Wine) as the host
// on a PC behind the lab's home routers (tests/lab/lab.sh, Debian's real
// miniupnpd): the same checks as for the Linux host. A Linux crewmap member
// in the lab's "internet" types what the Windows host's address box shows
// (copied out of it as a user would) and must get its slot; when the host
// closes, the router must hold nothing of ours any more. So the Windows
// build's router client (a static miniupnpc), its address-echo request and
// its listening sockets are tried through real routers, not only the
// Linux build's.
//
// Wine makes a program's sockets in its wineserver, so the wineserver must
// run inside the PC's namespace: the prefix is prepared first and its
// wineserver left to end, and the host then starts a wineserver of its own
// there.
//
// Skips, saying why, without the zip (scripts/test-windows makes it) or
// where network namespaces cannot be made.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "lab/lab_support.h"
#include "windows/wine_support.h"

namespace {

namespace fs = std::filesystem;
using namespace crewmap::test;

class WineLab : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    zip_ = EnvOr("CREWMAP_WINDOWS_ZIP", CREWMAP_DEFAULT_ZIP);
    if (!fs::exists(zip_) || ::geteuid() != 0) return;
    root_ = fs::temp_directory_path() / ("crewmap-winelab-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    program_ = UnpackPackage(zip_, root_ / "package");
    env_ = WineEnvironment((root_ / "prefix").string());
    PreparePrefix(env_);
  }
  static void TearDownTestSuite() {
    if (root_.empty()) return;
    RunWine(env_, "wineserver -k", /*loader=*/false);
    if (!keep_) fs::remove_all(root_);
  }
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "lab: SKIPPED: network namespaces need root";
    if (program_.empty())
      GTEST_SKIP() << "lab: SKIPPED: no Windows package at " << zip_
                   << " (scripts/test-windows makes it)";
  }
  void TearDown() override {
    host_.reset();
    // A host that did not close would leave its wineserver in a namespace
    // about to go; the next test's host must start its own.
    RunWine(env_, "wineserver -k", /*loader=*/false);
    lab_.reset();
    if (HasFailure()) keep_ = true;
  }

  // The lab of `situation` up, and Crewmap.exe under Wine as the host in its
  // PC namespace (the echo page the lab's), the main window at the screen's
  // top-left. Skips or fails the test when either cannot be had.
  void StartHostBehind(const std::string& situation) {
    lab_ = std::make_unique<Lab>(situation, LabDir("wine-" + situation));
    if (lab_->Skipped()) GTEST_SKIP() << lab_->Output();
    ASSERT_TRUE(lab_->Up()) << lab_->Output();
    folder_ = ProgramFolder(LabDir("wine-" + situation), *lab_);
    std::ofstream(program_ / "Crewmap.ini", std::ios::trunc)
        << "[NET]\r\nECHOURL=" << (*lab_)["ECHO_URL"] << "\r\n";
    host_ = std::make_unique<ProgramProcess>(
        std::vector<std::string>{"ip", "netns", "exec", (*lab_)["NS_PC"], WineLoader(),
                                 (program_ / "Crewmap.exe").string()},
        folder_ / "winehost.log", env_);
    window_ = ChooseRole(0, /*host=*/true);
    ASSERT_NE(window_, 0u) << host_->Log();
    Shell("xdotool windowmove " + std::to_string(window_) + " 0 0");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  bool Started() const { return !IsSkipped() && !HasFatalFailure(); }

  std::unique_ptr<Lab> lab_;
  fs::path folder_;
  std::unique_ptr<ProgramProcess> host_;
  unsigned long window_ = 0;

  static inline fs::path zip_, root_, program_;
  static inline Environment env_;
  static inline bool keep_ = false;
};

// Waits until the host offers the PC's IPv6 address beside the IPv4 one
// (the router has opened a pinhole for it); members then join at both, so
// the host must listen on both IP versions.
bool OffersIPv6(const Lab& lab, const std::string& box, ProgramProcess& host) {
  const std::string address = "[" + lab["PC6"] + "]:21212";
  return WaitFor([&] { return std::ranges::count(ShownAddresses(box, host.Log()), address) == 1; },
                 kWineWait);
}

// A router with a public address. Faults caught: the Windows build asks the
// router for no mapping, or for one the member cannot reach (the member is
// refused); a box that differs from the echo page's address when 21212 is
// open 1:1; a mapping left behind on close; and a host that listens on one IP
// version only (members from the internet join over IPv4 and over IPv6).
TEST_F(WineLab, MembersJoinAWindowsHostBehindAPublicRouter) {
  StartHostBehind("public");
  if (!Started()) return;
  const Lab& lab = *lab_;
  const std::string shown = HostAddress(window_, "^[0-9.]+$");
  EXPECT_EQ(shown, lab["PUBLIC4"]) << host_->Log();
  EXPECT_TRUE(OffersIPv6(lab, shown, *host_)) << host_->Log();
  MembersJoinThenTheHostLeavesNothing(lab, folder_, shown, *host_, window_);
}

// A router that maps only a set of ports without 21212 (as on a MAP-E line).
// Faults caught: the Windows build giving up after 21212 is refused, showing
// the bare address when another port was mapped, a port outside the set, no
// IPv6 offered (its port is not limited to the set), and the mapping left
// behind on close.
TEST_F(WineLab, MembersJoinAWindowsHostWhoseRouterAllowsOnlyAPortSet) {
  StartHostBehind("portset");
  if (!Started()) return;
  const Lab& lab = *lab_;
  const std::string shown = HostAddress(window_, "^[0-9.]+:[0-9]+$");
  std::smatch port;
  ASSERT_TRUE(std::regex_match(shown, port, std::regex(lab["PUBLIC4"] + ":([0-9]+)")))
      << shown << "\n"
      << host_->Log();
  EXPECT_TRUE(lab.InPortSet(std::stoi(port[1])))
      << shown << " is outside " << lab["PORTSET_RANGES"];
  EXPECT_TRUE(OffersIPv6(lab, shown, *host_)) << host_->Log();
  MembersJoinThenTheHostLeavesNothing(lab, folder_, shown, *host_, window_);
}

// A shared IPv4 line (the router's outside address is the ISP's
// 100.64.0.0/10): the Windows host offers only its IPv6 address, opened
// through a pinhole, and a member in the internet joins there. Faults
// caught: the Windows build offering an IPv4 address no member can reach, no
// pinhole asked for over IPv6, and the pinhole left behind on close.
TEST_F(WineLab, MembersJoinAWindowsHostOverIPv6WhenTheLineSharesIPv4) {
  StartHostBehind("shared");
  if (!Started()) return;
  const Lab& lab = *lab_;
  const std::string shown = HostAddress(window_, "^\\[");
  EXPECT_EQ(shown, "[" + lab["PC6"] + "]:21212") << host_->Log();
  EXPECT_TRUE(WaitFor([&] { return !lab.RouterRules().empty(); }, kWineWait)) << "no pinhole";
  MembersJoinThenTheHostLeavesNothing(lab, folder_, shown, *host_, window_);
}

}  // namespace
