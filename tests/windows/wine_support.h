#pragma once
// Running the packaged Windows program under Wine on the test's X server:
// a Wine prefix as a Japanese system, and finding and working its windows
// (Wine's windows carry no pid that X could tell, so they are found by title).
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace crewmap::test {

using Environment = std::vector<std::pair<std::string, std::string>>;

// Wine starts programs slowly on a busy machine.
constexpr std::chrono::seconds kWineWait{30};

// The 64-bit Wine loader.
std::string WineLoader();
// Wine as a Japanese system, in the prefix `prefix`, quiet, never asking to
// download Mono or Gecko; crewmap reports its lists (CREWMAP_DEBUG_LISTS).
Environment WineEnvironment(const std::string& prefix);
// Runs a Wine command line (e.g. "wineboot -i", or "wineserver -k" without
// the loader) in that environment; its standard output, or "exit N" when it
// failed.
std::string RunWine(const Environment& environment, const std::string& command, bool loader = true);

// The environment variable `name`, or `fallback` when it is unset or empty.
std::string EnvOr(const char* name, const char* fallback);
// The Windows zip unpacked into `parent`; the program's folder inside it.
std::filesystem::path UnpackPackage(const std::filesystem::path& zip,
                                    const std::filesystem::path& parent);
// Makes the prefix of `environment` ready and waits until its wineserver has
// ended, so that the next Wine program starts a wineserver of its own (where
// that program runs, e.g. in a network namespace: Wine makes sockets in the
// wineserver).
void PreparePrefix(const Environment& environment);

// A visible window titled exactly `title`: of process `pid` if given, and
// not `other` (Wine's windows are told apart from Linux ones that way).
unsigned long FindWindow(const std::string& title, pid_t pid = 0, unsigned long other = 0,
                         std::chrono::seconds wait = kWineWait);
// What X shows and which Windows programs run, for a failure message.
std::string WindowReport();
// The start dialog: host ("サーバとして起動") or the preselected member
// choice, then "おｋ"; returns the main window (0 when there is none).
// `scale`: the display scaling the program runs at (1.5 at 150 %).
unsigned long ChooseRole(pid_t pid, bool host, unsigned long otherMain = 0, double scale = 1.0);

}  // namespace crewmap::test
