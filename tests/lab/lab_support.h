#pragma once
// The home-router lab (tests/lab/lab.sh) as test code sees it: the lab's
// namespaces and addresses, crewmap programs run inside them, and a user's
// part: reading a host's address box and joining from the "internet" at
// every address the host offers. Shared by the tests of the Linux host and of
// the Windows host under Wine.
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/program_driver.h"

namespace crewmap::test {

// `text` as one word for sh.
std::string Quote(const std::string& text);

// One lab, up for the life of the object; taken down also when a check fails.
class Lab {
 public:
  Lab(const std::string& situation, const std::filesystem::path& dir);
  // Taken down; its files (logs of the router, the echo page and the
  // programs) stay only when the test failed.
  ~Lab();
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  bool Skipped() const { return exitCode_ == 77; }
  bool Up() const { return exitCode_ == 0; }
  const std::string& Output() const { return output_; }
  // A value of lab.env (NS_PC, PUBLIC4, ...); empty when unknown.
  std::string operator[](const std::string& key) const;
  // A shell command run inside one of the lab's namespaces.
  CommandResult In(const std::string& nsKey, const std::string& command) const;
  // What the router forwards or lets in on miniupnpd's behalf: the rules
  // miniupnpd keeps in its chains (empty when it holds no mapping and no
  // pinhole).
  std::string RouterRules() const;
  // True when the port-set router lets `port` be mapped.
  bool InPortSet(int port) const;
  // lab.sh restart (`to`: the new HTTP port, or empty) or readdress (`to`: the address).
  bool Change(const std::string& how, const std::string& to);

 private:
  std::filesystem::path dir_;
  int exitCode_ = -1;
  std::string output_;
  std::map<std::string, std::string> values_;
};

// A fresh folder for one run of a lab situation (the pid keeps runs apart).
std::filesystem::path LabDir(const std::string& situation);

// A folder holding the Linux program, the map pictures and a settings file
// whose echo page is the lab's (and `moreNet` in its section NET).
std::filesystem::path ProgramFolder(const std::filesystem::path& dir, const Lab& lab,
                                    const std::string& moreNet = "");

// The Linux crewmap run inside one of the lab's namespaces, reporting its
// lists and activity log on standard error.
class Crewmap : public ProgramProcess {
 public:
  Crewmap(const Lab& lab, const std::string& nsKey, const std::filesystem::path& folder,
          const std::string& name);
  // The start dialog: the host or the member choice, then "おｋ"; the main
  // window, moved to (0, top).
  unsigned long Start(bool host, int top);
  bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
};

// What the address box of a main window holds, copied out of it as a user
// would: select all, copy, and read the clipboard.
std::string CopyAddressBox(unsigned long window);
// The address box once it reads like `pattern` (before that it may say that
// the host is still looking, or show the address before the router answered).
std::string HostAddress(unsigned long window, const std::string& pattern);

// A Linux member in namespace `nsKey` types `address` and presses "接続";
// true once the host gave it a slot (`whileJoined` runs before it closes).
bool JoinFrom(const Lab& lab, const std::string& nsKey, const std::filesystem::path& folder,
              const std::string& address, const std::string& name, int top,
              const std::function<void(const Crewmap&)>& whileJoined = {});

// Every address the host offers its user to pass on: the address box and
// each address:port or [address]:port in its activity-log rows (rows about
// members coming and going name the member's address, not the host's, and
// rows marked unconfirmed offer nothing).
std::vector<std::string> ShownAddresses(const std::string& box, const std::string& hostLog);

// What the host shows must be true: a member in the internet joins at every
// address it shows. Then the host closes, and the router must hold no
// mapping or pinhole of ours any more.
void MembersJoinThenTheHostLeavesNothing(const Lab& lab, const std::filesystem::path& folder,
                                         const std::string& box, ProgramProcess& host,
                                         unsigned long window);

}  // namespace crewmap::test
