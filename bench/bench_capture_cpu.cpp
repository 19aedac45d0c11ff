// The host's CPU while its game window shows no read-out, watched from
// outside: the real crewmap executable as host beside a 1920 x 1080 game
// window whose read-out is hidden (so the search keeps looking), its user and
// system time read from /proc/<pid>/stat over --seconds=N (default 60).
// --busy also fills the game window with noise and decoys. Runs in a network
// namespace of its own (the host listens on the fixed port) on a private
// Xvfb. Prints the share of one core the host used.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gamesim/gamesim_process.h"
#include "support/private_network.h"
#include "support/program_driver.h"
#include "support/xvfb_server.h"

namespace {

namespace fs = std::filesystem;

// User plus system time of a process, in clock ticks (-1 when unknown).
long long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return -1;
  // Fields after the command's closing parenthesis: state is field 3, utime 14, stime 15.
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::vector<std::string> fields;
  for (std::string f; rest >> f;) fields.push_back(f);
  if (fields.size() < 13) return -1;
  return std::stoll(fields[11]) + std::stoll(fields[12]);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  bool busy = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seconds=", 10) == 0) seconds = std::atoi(argv[i] + 10);
    if (std::strcmp(argv[i], "--busy") == 0) busy = true;
  }
  std::string why;
  if (!crewmap::test::EnterPrivateNetwork(why)) std::fprintf(stderr, "bench_capture_cpu: %s\n", why.c_str());
  crewmap::test::XvfbServer server;
  if (!server.Start(2600, 1600)) return 2;

  // The program folder: the executable, the map pictures and settings that
  // keep the host off the network (address page on a closed port, no router).
  const fs::path folder = fs::temp_directory_path() / ("crewmap-cpu-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  fs::copy_file(CREWMAP_EXE, folder / "crewmap", fs::copy_options::overwrite_existing);
  for (const char* picture : {"worldmap_c1.jpg", "worldmap_c2.jpg"})
    fs::copy_file(fs::path(CREWMAP_DATA_DIR) / picture, folder / picture, fs::copy_options::overwrite_existing);
  std::ofstream(folder / "crewmap.ini") << "[NET]\nECHOURL=http://127.0.0.1:9/\nUPNP=0\n";

  crewmap::gamesim::GameSimProcess game;
  std::vector<std::string> args = {"--still", "--size", "1920x1080", "--no-readout"};
  if (busy) args.insert(args.end(), {"--busy", "--decoys"});
  if (!game.Start(args) || !game.Command("1,1")) return 2;
  crewmap::test::ProgramProcess host(folder / "crewmap", folder / "host.log", {{"CREWMAP_DEBUG_LISTS", "1"}});
  const unsigned long dialog = host.WaitWindow("起動方法");
  crewmap::test::Click(dialog, 30, 10);   // "サーバとして起動"
  crewmap::test::Click(dialog, 190, 25);  // "おｋ"
  if (!host.WaitWindow("Crewmap")) return 2;
  std::this_thread::sleep_for(std::chrono::seconds(5));  // past start-up

  const long long before = CpuTicks(host.Pid());
  const auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const long long after = CpuTicks(host.Pid());
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (before < 0 || after < 0 || host.Exited()) {
    std::fprintf(stderr, "the host did not run through:\n%s\n", host.Log().c_str());
    return 2;
  }
  const double cpu = static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
  std::printf("host CPU beside a 1920x1080 game window without a read-out%s: %.2f s in %.0f s = %.2f %% of one core\n",
              busy ? " (busy picture, decoys)" : "", cpu, wall, 100.0 * cpu / wall);
  if (!std::getenv("CREWMAP_KEEP")) fs::remove_all(folder);
  return 0;
}
