#include "windows/wine_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "support/program_driver.h"

namespace crewmap::test {

using namespace std::chrono_literals;

std::string WineLoader() {
  return std::filesystem::exists("/usr/lib/wine/wine64") ? "/usr/lib/wine/wine64" : "wine64";
}

Environment WineEnvironment(const std::string& prefix) {
  return {{"WINEPREFIX", prefix},      {"WINEDEBUG", "-all"},
          {"WINEARCH", "win64"},       {"WINEDLLOVERRIDES", "mscoree,mshtml="},
          {"LANG", "ja_JP.UTF-8"},     {"LC_ALL", "ja_JP.UTF-8"},
          {"CREWMAP_DEBUG_LISTS", "1"}};
}

std::string RunWine(const Environment& environment, const std::string& command, bool loader) {
  std::string line;
  for (const auto& [name, value] : environment) line += name + "='" + value + "' ";
  const auto result =
      RunCommand(line + (loader ? WineLoader() + " " : "") + command + " 2>/dev/null");
  std::string out = result.output;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return result.exitCode == 0 ? out : "exit " + std::to_string(result.exitCode);
}

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

std::filesystem::path UnpackPackage(const std::filesystem::path& zip,
                                    const std::filesystem::path& parent) {
  std::filesystem::create_directories(parent);
  Shell("unzip -q '" + zip.string() + "' -d '" + parent.string() + "'");
  std::filesystem::path program;
  for (const auto& entry : std::filesystem::directory_iterator(parent)) program = entry.path();
  return program;
}

void PreparePrefix(const Environment& environment) {
  RunWine(environment, "wineboot -i");
  RunWine(environment, "wineserver -w", /*loader=*/false);
}

unsigned long FindWindow(const std::string& title, pid_t pid, unsigned long other, std::chrono::seconds wait) {
  unsigned long id = 0;
  WaitFor(
      [&] {
        std::istringstream out(Shell("xdotool search --all --onlyvisible " +
                                     (pid ? "--pid " + std::to_string(pid) + " " : std::string()) +
                                     "--name '^" + title + "$' 2>/dev/null"));
        for (std::string line; std::getline(out, line);)
          if (!line.empty() && std::stoul(line) != other) return (id = std::stoul(line)) != 0;
        return false;
      },
      wait);
  return id;
}

std::string WindowReport() {
  return "visible X windows (id, name):\n" +
         Shell("for w in $(xdotool search --all --onlyvisible --name '' 2>/dev/null); do "
               "echo \"$w $(xdotool getwindowname $w 2>/dev/null)\"; done") +
         "Wine processes:\n" + Shell("ps -eo pid,stat,etime,args | grep -i '[.]exe' || true");
}

unsigned long ChooseRole(pid_t pid, bool host, unsigned long otherMain, double scale) {
  // The first window of a program that Wine has just started: on a cold,
  // busy machine Wine can take longer than for the windows that follow.
  const unsigned long dialog = FindWindow("起動方法", pid, 0, 2 * kWineWait);
  EXPECT_NE(dialog, 0u) << "no start dialog; " << WindowReport();
  if (!dialog) return 0;
  // Wine may still move a window it has just shown (Qt centres the dialog):
  // clicks wait until it stays put.
  Geometry before = WindowGeometry(dialog);
  WaitFor(
      [&] {
        std::this_thread::sleep_for(500ms);
        const Geometry now = WindowGeometry(dialog);
        const bool still = now.x == before.x && now.y == before.y;
        before = now;
        return still;
      },
      10s);
  const auto at = [scale](int pixels) { return static_cast<int>(pixels * scale); };
  if (host) Click(dialog, at(30), at(10));  // Option1(0) at 120, 0 twips
  Click(dialog, at(190), at(25));           // Command1 at 2280, 120 twips
  return FindWindow("Crewmap", pid, otherMain);
}

}  // namespace crewmap::test
