// The host behind home routers: a lab of network namespaces (tests/lab/lab.sh)
// with Debian's real miniupnpd as the home router, an "internet" holding the
// address-echo page and the members, and the real crewmap host on a PC behind
// the router. A real crewmap member in the internet types what the host's
// address box shows (copied from it as a user would), and must get its slot;
// when the host closes, the router must hold nothing of ours any more.
//
// Skips, saying why, where network namespaces cannot be made (not root, no
// nft or miniupnpd).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "support/program_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using crewmap::test::Click;
using crewmap::test::CommandResult;
using crewmap::test::ProgramProcess;
using crewmap::test::ReadFile;
using crewmap::test::RequestClose;
using crewmap::test::RunCommand;
using crewmap::test::Shell;
using crewmap::test::Type;
using crewmap::test::WaitFor;

// `text` as one word for sh.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// One lab, up for the life of the object; taken down also when a check fails.
class Lab {
 public:
  Lab(const std::string& situation, const fs::path& dir) : dir_(dir) {
    const CommandResult up = RunCommand("LAB_OWNER=" + std::to_string(::getpid()) + " bash " + Quote(CREWMAP_LAB_SCRIPT) + " up " + situation + " " +
                                        Quote(dir.string()) + " 2>&1");
    exitCode_ = up.exitCode;
    output_ = up.output;
    if (exitCode_ != 0) return;
    std::istringstream env(ReadFile(dir / "lab.env"));
    for (std::string line; std::getline(env, line);) {
      const auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string value = line.substr(eq + 1);
      if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
      values_[line.substr(0, eq)] = value;
    }
  }
  // Taken down; its files (logs of the router, the echo page and the
  // programs) stay only when the test failed.
  ~Lab() {
    Shell("bash " + Quote(CREWMAP_LAB_SCRIPT) + " down " + Quote(dir_.string()) + " 2>&1");
    if (!testing::Test::HasFailure()) fs::remove_all(dir_);
  }
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  bool Skipped() const { return exitCode_ == 77; }
  bool Up() const { return exitCode_ == 0; }
  const std::string& Output() const { return output_; }
  std::string operator[](const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? std::string() : it->second;
  }
  // A shell command run inside one of the lab's namespaces.
  CommandResult In(const std::string& nsKey, const std::string& command) const {
    return RunCommand("ip netns exec " + (*this)[nsKey] + " sh -c " + Quote(command) + " 2>&1");
  }
  // What the router forwards or lets in on miniupnpd's behalf: the rules
  // miniupnpd keeps in its chains (empty when it holds no mapping and no
  // pinhole).
  std::string RouterRules() const {
    std::string rules;
    for (const char* chain : {"miniupnpd", "prerouting_miniupnpd", "postrouting_miniupnpd"}) {
      std::istringstream lines(In("NS_ROUTER", std::string("nft list chain inet filter ") + chain).output);
      for (std::string line; std::getline(lines, line);)
        if (line.find("dport") != std::string::npos || line.find("dnat") != std::string::npos ||
            line.find("snat") != std::string::npos)
          rules += line + "\n";
    }
    return rules;
  }

 private:
  fs::path dir_;
  int exitCode_ = -1;
  std::string output_;
  std::map<std::string, std::string> values_;
};

// A program folder: the executable, the map pictures and a settings file
// whose echo page is the lab's.
fs::path ProgramFolder(const fs::path& dir, const Lab& lab) {
  const fs::path folder = dir / "program";
  fs::create_directories(folder);
  fs::copy_file(CREWMAP_EXE, folder / "crewmap", fs::copy_options::overwrite_existing);
  for (const char* picture : {"worldmap_c1.jpg", "worldmap_c2.jpg"})
    fs::copy_file(fs::path(CREWMAP_DATA_DIR) / picture, folder / picture, fs::copy_options::overwrite_existing);
  std::ofstream(folder / "crewmap.ini") << "[NET]\nECHOURL=" << lab["ECHO_URL"] << "\n";
  return folder;
}

// crewmap run inside one of the lab's namespaces, reporting its lists and
// activity log on standard error.
class Crewmap : public ProgramProcess {
 public:
  Crewmap(const Lab& lab, const std::string& nsKey, const fs::path& folder, const std::string& name)
      : ProgramProcess(std::vector<std::string>{"ip", "netns", "exec", lab[nsKey], (folder / "crewmap").string()},
                       folder / (name + ".log"), {{"CREWMAP_DEBUG_LISTS", "1"}}) {}

  // The start dialog: the host or the member choice, then "おｋ"; the main window.
  unsigned long Start(bool host, int top) {
    const unsigned long dialog = WaitWindow("起動方法");
    if (dialog == 0) return 0;
    if (host) Click(dialog, 30, 10);
    Click(dialog, 190, 25);
    const unsigned long main = WaitWindow("Crewmap");
    if (main != 0) {
      Shell("xdotool windowmove " + std::to_string(main) + " 0 " + std::to_string(top));
      std::this_thread::sleep_for(300ms);
    }
    return main;
  }
  bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
};

// What the address box of a main window holds, copied out of it as a user
// would: select all, copy, and read the clipboard.
std::string CopyAddressBox(unsigned long window) {
  Shell("xclip -selection clipboard -i /dev/null >/dev/null 2>&1");
  Click(window, 236, 65);  // Text1
  Shell("xdotool key --window " + std::to_string(window) + " ctrl+a ctrl+c");
  std::string text;
  WaitFor([&] { return !(text = Shell("xclip -selection clipboard -o 2>/dev/null")).empty(); }, 3s);
  return text;
}

// The address box once it reads like `pattern` (before that it may say that
// the host is still looking, or show the address before the router answered).
std::string HostAddress(unsigned long window, const std::string& pattern) {
  std::string text;
  WaitFor([&] { return std::regex_search(text = CopyAddressBox(window), std::regex(pattern)); }, 20s);
  return text;
}

// A member in the internet types `address` and presses "接続"; true once
// the host gave it a slot.
bool JoinFromInternet(const Lab& lab, const fs::path& folder, const std::string& address, const std::string& name,
                      int top) {
  Crewmap member(lab, "NS_INET", folder, name);
  const unsigned long window = member.Start(false, top);
  if (window == 0) return false;
  Click(window, 236, 65);  // Text1
  Type(address);
  Click(window, 236, 113);  // txtNick
  Shell("xdotool key ctrl+a");
  Type(name);
  Click(window, 264, 144);  // Command1 "接続"
  const bool joined = WaitFor([&] { return member.LogHas("List1+ client#"); }, 15s);
  if (!joined) ADD_FAILURE() << name << " did not join at " << address << ":\n" << member.Log();
  RequestClose(window);
  WaitFor([&] { return member.Exited(); }, 10s);
  return joined;
}

fs::path LabDir(const std::string& situation) {
  return fs::temp_directory_path() / ("crewmap-lab-" + situation + "-" + std::to_string(::getpid()));
}

// True when a TCP connection from the internet to address:port is accepted
// within three seconds.
bool ConnectsFromInternet(const Lab& lab, const std::string& address, int port) {
  return lab.In("NS_INET", "timeout 3 bash -c \"exec 3<>/dev/tcp/" + address + "/" + std::to_string(port) + "\"")
             .exitCode == 0;
}

// The lab itself, checked with miniupnpc's own client and no crewmap: the
// router maps on request and forwards only what is mapped, the port-set
// router refuses 21212 but maps a port of its set, and the shared line's
// router reports that it is not connected while its line's address is the
// ISP's. A lab that let everything in (or nothing) would make the host's
// checks below meaningless; this catches it.
TEST(RouterLab, TheLabBehavesLikeHomeRouters) {
  {
    Lab lab("public", LabDir("public"));
    if (lab.Skipped()) GTEST_SKIP() << lab.Output();
    ASSERT_TRUE(lab.Up()) << lab.Output();
    EXPECT_NE(lab.In("NS_PC", "curl -s -m 3 " + lab["ECHO_URL"]).output.find("(" + lab["PUBLIC4"] + ")"),
              std::string::npos);
    // A listener on the PC, for both IP versions, for a bounded time.
    lab.In("NS_PC", "timeout 30 python3 -c \"import socket\n"
                    "s = socket.create_server(('::', 21212), family=socket.AF_INET6, dualstack_ipv6=True)\n"
                    "while True: s.accept()[0].close()\" >/dev/null 2>&1 &");
    WaitFor([&] { return lab.In("NS_PC", "ss -ltn | grep -q ':21212 '").exitCode == 0; }, 5s);
    EXPECT_FALSE(ConnectsFromInternet(lab, lab["ROUTER_WAN4"], 21212)) << "open before any mapping";
    EXPECT_FALSE(ConnectsFromInternet(lab, lab["PC6"], 21212)) << "IPv6 open without a pinhole";
    const CommandResult mapped =
        lab.In("NS_PC", "timeout 10 upnpc -e crewmap-lab -a " + lab["PC4"] + " 21212 21212 TCP 3600");
    EXPECT_NE(mapped.output.find("is redirected to internal"), std::string::npos) << mapped.output;
    EXPECT_TRUE(ConnectsFromInternet(lab, lab["ROUTER_WAN4"], 21212));
    lab.In("NS_PC", "timeout 10 upnpc -d 21212 TCP");
    EXPECT_EQ(lab.RouterRules(), "");
    EXPECT_FALSE(ConnectsFromInternet(lab, lab["ROUTER_WAN4"], 21212)) << "still open after removal";
  }
  {
    Lab lab("portset", LabDir("portset"));
    ASSERT_TRUE(lab.Up()) << lab.Output();
    const CommandResult own = lab.In("NS_PC", "timeout 10 upnpc -a " + lab["PC4"] + " 21212 21212 TCP 3600");
    EXPECT_NE(own.output.find("failed with code 606"), std::string::npos) << own.output;
    const CommandResult any = lab.In("NS_PC", "timeout 10 upnpc -n " + lab["PC4"] + " 21212 21212 TCP 3600");
    std::smatch port;
    ASSERT_TRUE(std::regex_search(any.output, port, std::regex(":([0-9]+) TCP is redirected"))) << any.output;
    EXPECT_TRUE(std::stoi(port[1]) >= 21264 && std::stoi(port[1]) <= 21279) << port[1];
  }
  {
    Lab lab("shared", LabDir("shared"));
    ASSERT_TRUE(lab.Up()) << lab.Output();
    EXPECT_NE(lab.In("NS_PC", "curl -s -m 3 " + lab["ECHO_URL"]).output.find("(" + lab["PUBLIC4"] + ")"),
              std::string::npos);
    EXPECT_NE(lab.In("NS_PC", "timeout 10 upnpc -s").output.find("not connected"), std::string::npos);
  }
}

// Every address the host offers its user to pass on: the address box and
// each address:port or [address]:port in its activity-log rows (rows about
// members coming and going name the member's address, not the host's).
std::vector<std::string> ShownAddresses(const std::string& box, const std::string& hostLog) {
  std::vector<std::string> shown{box};
  const std::regex address("(\\[[0-9a-fA-F:]+\\]|[0-9]{1,3}(\\.[0-9]{1,3}){3}):[0-9]+");
  std::istringstream lines(hostLog);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("List1+ ", 0) != 0 || line.ends_with(" Connect") || line.ends_with(" Close")) continue;
    for (std::sregex_iterator it(line.begin(), line.end(), address), end; it != end; ++it)
      if (std::find(shown.begin(), shown.end(), it->str()) == shown.end()) shown.push_back(it->str());
  }
  return shown;
}

// What the host shows must be true: a member in the internet joins at every
// address it shows. Then the host closes, and the router must hold no
// mapping or pinhole of ours any more.
void MembersJoinThenTheHostLeavesNothing(const Lab& lab, const fs::path& folder, const std::string& box,
                                         Crewmap& host, unsigned long window) {
  int n = 0;
  for (const std::string& address : ShownAddresses(box, host.Log()))
    EXPECT_TRUE(JoinFromInternet(lab, folder, address, "Member" + std::to_string(++n), 300)) << address;
  RequestClose(window);
  EXPECT_TRUE(WaitFor([&] { return host.Exited(); }, 20s)) << "the host did not end";
  EXPECT_EQ(lab.RouterRules(), "");
  if (testing::Test::HasFailure()) std::cerr << "host log:\n" << host.Log();
}

size_t CountLines(const std::string& text, const std::string& word) {
  size_t count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) count += line.find(word) != std::string::npos;
  return count;
}

// A router with a public address: the host's box shows the echo page's
// address as it is, and a member joins there through the mapping the host
// asked for. Faults caught: no mapping (the member is refused), a box that
// differs from the echo address when 21212 is open 1:1, a mapping left behind
// on close, and a crashed host's leftover mapping doubled instead of replaced
// by the next run.
TEST(RouterLab, MembersJoinAHostBehindAPublicRouter) {
  Lab lab("public", LabDir("public"));
  if (lab.Skipped()) GTEST_SKIP() << lab.Output();
  ASSERT_TRUE(lab.Up()) << lab.Output();
  const fs::path folder = ProgramFolder(LabDir("public"), lab);
  {
    // A host that dies without closing leaves its mapping behind.
    Crewmap crashed(lab, "NS_PC", folder, "crashed");
    ASSERT_NE(crashed.Start(true, 0), 0u);
    ASSERT_TRUE(WaitFor([&] { return CountLines(lab.RouterRules(), "dnat") == 1; }, 10s)) << lab.RouterRules();
  }
  Crewmap host(lab, "NS_PC", folder, "host");
  const unsigned long window = host.Start(true, 0);
  ASSERT_NE(window, 0u);
  const std::string shown = HostAddress(window, "^[0-9.]+$");
  EXPECT_EQ(shown, lab["PUBLIC4"]);
  // The router's answer is in once the log offers an address:port.
  EXPECT_TRUE(WaitFor([&] { return ShownAddresses(shown, host.Log()).size() > 1; }, 10s)) << host.Log();
  std::this_thread::sleep_for(1s);  // the leftover's removal and the new mapping settle
  EXPECT_EQ(CountLines(lab.RouterRules(), "dnat"), 1u) << lab.RouterRules();
  MembersJoinThenTheHostLeavesNothing(lab, folder, shown, host, window);
}

// A router that maps only a set of ports without 21212 (as on a MAP-E line):
// the host's box shows address:port with a port from the set, and a member
// that types exactly that joins. Faults caught: giving up after 21212 is
// refused, showing the bare address when another port was mapped, a port the
// router did not map, and the mapping left behind on close.
TEST(RouterLab, MembersJoinAHostWhoseRouterAllowsOnlyAPortSet) {
  Lab lab("portset", LabDir("portset"));
  if (lab.Skipped()) GTEST_SKIP() << lab.Output();
  ASSERT_TRUE(lab.Up()) << lab.Output();
  const fs::path folder = ProgramFolder(LabDir("portset"), lab);
  Crewmap host(lab, "NS_PC", folder, "host");
  const unsigned long window = host.Start(true, 0);
  ASSERT_NE(window, 0u);
  const std::string shown = HostAddress(window, "^[0-9.]+:[0-9]+$");
  std::smatch port;
  ASSERT_TRUE(std::regex_match(shown, port, std::regex(lab["PUBLIC4"] + ":([0-9]+)"))) << shown;
  bool inSet = false;
  std::istringstream ranges(lab["PORTSET_RANGES"]);
  for (std::string range; ranges >> range;) {
    const int first = std::stoi(range.substr(0, range.find('-'))), last = std::stoi(range.substr(range.find('-') + 1));
    inSet = inSet || (std::stoi(port[1]) >= first && std::stoi(port[1]) <= last);
  }
  EXPECT_TRUE(inSet) << shown << " is outside " << lab["PORTSET_RANGES"];
  MembersJoinThenTheHostLeavesNothing(lab, folder, shown, host, window);
}

// A shared IPv4 line (the router's outside address is the ISP's
// 100.64.0.0/10, the echo page sees the ISP's address): IPv4 hosting is
// impossible, so what the host offers members is its IPv6 address, opened
// through a pinhole in the router; a member types it as the host shows it and
// joins. Faults caught: an IPv4 address offered that no member can reach
// (the router answers with no outside address of its own, as miniupnpd does
// on such a line), no IPv6 address in the box, no pinhole asked for (the
// router drops the member), a form the member cannot type, and the pinhole
// left behind on close.
TEST(RouterLab, MembersJoinOverIPv6WhenTheLineSharesIPv4) {
  Lab lab("shared", LabDir("shared"));
  if (lab.Skipped()) GTEST_SKIP() << lab.Output();
  ASSERT_TRUE(lab.Up()) << lab.Output();
  const fs::path folder = ProgramFolder(LabDir("shared"), lab);
  Crewmap host(lab, "NS_PC", folder, "host");
  const unsigned long window = host.Start(true, 0);
  ASSERT_NE(window, 0u);
  // The box offers what members must type: here only the IPv6 address can
  // be reached.
  const std::string shown = HostAddress(window, "^\\[");
  EXPECT_EQ(shown, "[" + lab["PC6"] + "]:21212");
  EXPECT_TRUE(WaitFor([&] { return !lab.RouterRules().empty(); }, 10s)) << "no pinhole";
  MembersJoinThenTheHostLeavesNothing(lab, folder, shown, host, window);
}

}  // namespace
