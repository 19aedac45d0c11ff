#include "lab/lab_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

namespace crewmap::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Lab::Lab(const std::string& situation, const fs::path& dir) : dir_(dir) {
  const CommandResult up =
      RunCommand("LAB_OWNER=" + std::to_string(::getpid()) + " bash " + Quote(CREWMAP_LAB_SCRIPT) +
                 " up " + situation + " " + Quote(dir.string()) + " 2>&1");
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

Lab::~Lab() {
  Shell("bash " + Quote(CREWMAP_LAB_SCRIPT) + " down " + Quote(dir_.string()) + " 2>&1");
  if (!testing::Test::HasFailure()) fs::remove_all(dir_);
}

std::string Lab::operator[](const std::string& key) const {
  const auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

CommandResult Lab::In(const std::string& nsKey, const std::string& command) const {
  return RunCommand("ip netns exec " + (*this)[nsKey] + " sh -c " + Quote(command) + " 2>&1");
}

std::string Lab::RouterRules() const {
  std::string rules;
  for (const char* chain : {"miniupnpd", "prerouting_miniupnpd", "postrouting_miniupnpd"}) {
    std::istringstream lines(
        In("NS_ROUTER", std::string("nft list chain inet filter ") + chain).output);
    for (std::string line; std::getline(lines, line);)
      if (line.find("dport") != std::string::npos || line.find("dnat") != std::string::npos ||
          line.find("snat") != std::string::npos)
        rules += line + "\n";
  }
  return rules;
}

bool Lab::InPortSet(int port) const {
  std::istringstream ranges((*this)["PORTSET_RANGES"]);
  for (std::string range; ranges >> range;) {
    const auto dash = range.find('-');
    if (port >= std::stoi(range.substr(0, dash)) && port <= std::stoi(range.substr(dash + 1)))
      return true;
  }
  return false;
}

bool Lab::Change(const std::string& how, const std::string& to) {
  return RunCommand("bash " + Quote(CREWMAP_LAB_SCRIPT) + " " + how + " " + Quote(dir_.string()) + " " + to).exitCode == 0;
}

fs::path LabDir(const std::string& situation) {
  return fs::temp_directory_path() /
         ("crewmap-lab-" + situation + "-" + std::to_string(::getpid()));
}

fs::path ProgramFolder(const fs::path& dir, const Lab& lab, const std::string& moreNet) {
  const fs::path folder = dir / "program";
  fs::create_directories(folder);
  fs::copy_file(CREWMAP_EXE, folder / "crewmap", fs::copy_options::overwrite_existing);
  for (const char* picture : {"worldmap_c1.jpg", "worldmap_c2.jpg"})
    fs::copy_file(fs::path(CREWMAP_DATA_DIR) / picture, folder / picture,
                  fs::copy_options::overwrite_existing);
  std::ofstream(folder / "crewmap.ini") << "[NET]\nECHOURL=" << lab["ECHO_URL"] << "\n" << moreNet;
  return folder;
}

Crewmap::Crewmap(const Lab& lab, const std::string& nsKey, const fs::path& folder,
                 const std::string& name)
    : ProgramProcess(std::vector<std::string>{"ip", "netns", "exec", lab[nsKey],
                                              (folder / "crewmap").string()},
                     folder / (name + ".log"), {{"CREWMAP_DEBUG_LISTS", "1"}}) {}

unsigned long Crewmap::Start(bool host, int top) {
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

std::string CopyAddressBox(unsigned long window) {
  Shell("xclip -selection clipboard -i /dev/null >/dev/null 2>&1");
  Click(window, 236, 65);  // Text1
  Shell("xdotool key --window " + std::to_string(window) + " ctrl+a ctrl+c");
  std::string text;
  WaitFor([&] { return !(text = Shell("xclip -selection clipboard -o 2>/dev/null")).empty(); }, 3s);
  return text;
}

std::string HostAddress(unsigned long window, const std::string& pattern) {
  std::string text;
  WaitFor([&] { return std::regex_search(text = CopyAddressBox(window), std::regex(pattern)); },
          20s);
  return text;
}

bool JoinFrom(const Lab& lab, const std::string& nsKey, const fs::path& folder,
              const std::string& address, const std::string& name, int top,
              const std::function<void(const Crewmap&)>& whileJoined) {
  Crewmap member(lab, nsKey, folder, name);
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
  if (joined && whileJoined) whileJoined(member);
  RequestClose(window);
  WaitFor([&] { return member.Exited(); }, 10s);
  return joined;
}

std::vector<std::string> ShownAddresses(const std::string& box, const std::string& hostLog) {
  std::vector<std::string> shown{box};
  const std::regex address("(\\[[0-9a-fA-F:]+\\]|[0-9]{1,3}(\\.[0-9]{1,3}){3}):[0-9]+");
  std::istringstream lines(hostLog);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows program's line ends
    // Rows about members name the member's address; an address marked
    // unconfirmed is one the router said nothing about.
    if (line.rfind("List1+ ", 0) != 0 || line.ends_with(" Connect") || line.ends_with(" Close") ||
        line.find("未確認") != std::string::npos)
      continue;
    for (std::sregex_iterator it(line.begin(), line.end(), address), end; it != end; ++it)
      if (std::find(shown.begin(), shown.end(), it->str()) == shown.end())
        shown.push_back(it->str());
  }
  return shown;
}

void MembersJoinThenTheHostLeavesNothing(const Lab& lab, const fs::path& folder,
                                         const std::string& box, ProgramProcess& host,
                                         unsigned long window) {
  int n = 0;
  for (const std::string& address : ShownAddresses(box, host.Log()))
    EXPECT_TRUE(JoinFrom(lab, "NS_INET", folder, address, "Member" + std::to_string(++n), 300))
        << address;
  RequestClose(window);
  EXPECT_TRUE(WaitFor([&] { return host.Exited(); }, 30s)) << "the host did not end";
  EXPECT_EQ(lab.RouterRules(), "");
  if (testing::Test::HasFailure()) std::cerr << "host log:\n" << host.Log();
}

}  // namespace crewmap::test
