// The host behind a home router (the namespace lab of tests/lab with the
// real miniupnpd): from "おｋ" (the host's main window made and shown, as the
// start dialog does) to the router forwarding the port, the main window's
// first paint, and the spacing of the one-second tick while the router is
// being discovered and asked. Per round a fresh host; the router's rules are
// polled every 10 ms on a thread of their own. Counters (milliseconds):
//   ok_to_mapping   "おｋ" to the router's forwarding rule (goal <= 3000; on
//                   the IGD v1 port-set router, where the port is searched
//                   for, goal <= 5000)
//   requests        AddPortMapping requests the router saw until then
//   first_paint     "おｋ" to the main window's first paint (goal <= 500)
//   first_tick      "おｋ" to the first tick (the timer starts once the window is made)
//   tick_gap_max    the longest gap between two ticks in the first 5 s (goal ~1000)
// A second benchmark keeps one host up for an evening at the program's own
// re-check interval (CREWMAP_BENCH_RECHECK seconds instead, for a quick run):
//   requests_per_hour    SOAP requests the router saw while nothing changed
//                        (over two intervals; goal <= 60)
//   restart_to_mapping   seconds from a router restart that forgot every
//                        mapping to the mapping back (two restarts; goal <= 300)
//   address_to_shown     seconds from a new outside address to the address
//                        box showing it (goal <= 300)
// Needs root (network namespaces); says so and does nothing otherwise.
// Situation: CREWMAP_BENCH_LAB (public, default, portset or v1portset).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"
#include "main/frm_main.h"
#include "net/port_mapping.h"
#include "startup/common.h"

namespace {

using namespace crewmap;
using namespace crewmap::bench;

std::map<std::string, std::string> g_lab;
std::string g_labDir;

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  return out;
}

// AddPortMapping requests the lab's router has logged so far.
int RouterRequests() {
  std::ifstream log(g_labDir + "/miniupnpd.log");
  int count = 0;
  for (std::string line; std::getline(log, line);) count += line.find("AddPortMapping: ext port") != std::string::npos;
  return count;
}

bool RouterForwards() {
  return Run("ip netns exec " + g_lab["NS_ROUTER"] + " nft list chain inet filter prerouting_miniupnpd 2>/dev/null")
             .find("dnat") != std::string::npos;
}

// Runs the event loop until `done` holds (checked every 20 ms).
void RunUntil(const std::function<bool()>& done) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  poll.start(20);
  loop.exec();
}

// Notes the first paint of the window it watches.
class FirstPaint : public QObject {
 public:
  std::int64_t at = 0;
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && at == 0) at = NowNs();
    return QObject::eventFilter(object, event);
  }
};

void BM_OkToMapping(benchmark::State& state) {
  const std::string ini = g_labDir + "/bench.ini";
  std::ofstream(ini) << "[NET]\nECHOURL=" << g_lab["ECHO_URL"] << "\n";
  startup::IniPath = ini;
  startup::StartMode = 0;
  std::vector<double> mapping, paint, firstTick, requests;
  double gapMax = 0;
  for (auto _ : state) {
    std::atomic<std::int64_t> mappedAt{0};
    std::atomic<bool> stop{false};
    FirstPaint firstPaint;
    std::vector<std::int64_t> ticks;

    const int requestsBefore = RouterRequests();
    const std::int64_t ok = NowNs();
    main::MainOptions options;
    options.reachReport = true;
    options.closeWaitMs = 1000;
    auto window = std::make_unique<main::frmMain>(std::move(options));
    window->installEventFilter(&firstPaint);
    QObject::connect(window->Timer1, &QTimer::timeout, [&] { ticks.push_back(NowNs()); });
    window->show();
    std::thread poll([&] {
      while (!stop && mappedAt == 0) {
        if (RouterForwards()) mappedAt = NowNs();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    RunUntil([&] { return NowNs() - ok > 5'000'000'000 && (mappedAt != 0 || NowNs() - ok > 15'000'000'000); });
    stop = true;
    poll.join();
    if (mappedAt == 0 || firstPaint.at == 0) {
      state.SkipWithError("no mapping or no paint within 15 s");
      break;
    }
    mapping.push_back((mappedAt - ok) / 1e6);
    requests.push_back(RouterRequests() - requestsBefore);
    paint.push_back((firstPaint.at - ok) / 1e6);
    if (!ticks.empty()) firstTick.push_back((ticks.front() - ok) / 1e6);
    for (size_t i = 1; i < ticks.size() && ticks[i] - ok <= 5'000'000'000; ++i)
      gapMax = std::max(gapMax, (ticks[i] - ticks[i - 1]) / 1e6);
    state.SetIterationTime((mappedAt - ok) / 1e9);
    window.reset();  // closes: the mapping goes
    for (int i = 0; i < 200 && RouterForwards(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (mapping.empty()) return;
  auto mean = [](const std::vector<double>& v) { double s = 0; for (double x : v) s += x; return s / v.size(); };
  state.counters["ok_to_mapping"] = mean(mapping);
  state.counters["ok_to_mapping_max"] = *std::max_element(mapping.begin(), mapping.end());
  state.counters["requests"] = mean(requests);
  state.counters["first_paint"] = mean(paint);
  state.counters["first_paint_max"] = *std::max_element(paint.begin(), paint.end());
  state.counters["first_tick"] = mean(firstTick);
  state.counters["tick_gap_max"] = gapMax;
}
BENCHMARK(BM_OkToMapping)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

int SoapRequests() {
  std::ifstream log(g_labDir + "/miniupnpd.log");
  int count = 0;
  for (std::string line; std::getline(log, line);) count += line.find("SOAPAction:") != std::string::npos;
  return count;
}

// Runs the event loop for `seconds`, or until `done` holds; the seconds it took.
double RunFor(double seconds, const std::function<bool()>& done = [] { return false; }) {
  const std::int64_t start = NowNs();
  RunUntil([&] { return done() || NowNs() - start > static_cast<std::int64_t>(seconds * 1e9); });
  return (NowNs() - start) / 1e9;
}

void BM_EveningAtDefaults(benchmark::State& state) {
  const char* recheck = std::getenv("CREWMAP_BENCH_RECHECK");
  const double interval = recheck ? std::atof(recheck) : net::MappingRequest::kCheckSeconds;
  const std::string ini = g_labDir + "/evening.ini";
  std::ofstream(ini) << "[NET]\nECHOURL=" << g_lab["ECHO_URL"] << "\n" << (recheck ? "RECHECK=" + std::string(recheck) + "\n" : "");
  startup::IniPath = ini;
  startup::StartMode = 0;
  for (auto _ : state) {
    main::MainOptions options;
    options.reachReport = true;
    auto window = std::make_unique<main::frmMain>(std::move(options));
    window->show();
    if (RunFor(30, RouterForwards) >= 30) {
      state.SkipWithError("no mapping within 30 s");
      break;
    }
    RunFor(5);  // the first answers settle
    const int before = SoapRequests();
    const double idle = RunFor(2 * interval + 5);
    state.counters["requests_per_hour"] = (SoapRequests() - before) * 3600.0 / idle;
    double restartMax = 0;
    for (int i = 0; i < 2; ++i) {
      RunFor(interval / 3);  // another phase of the check for each restart
      Run("bash '" CREWMAP_LAB_SCRIPT "' restart " + g_labDir + " >/dev/null 2>&1");
      restartMax = std::max(restartMax, RunFor(3 * interval, RouterForwards));
    }
    state.counters["restart_to_mapping"] = restartMax;
    const std::string moved = "11.17.1.9";
    Run("bash '" CREWMAP_LAB_SCRIPT "' readdress " + g_labDir + " " + moved + " >/dev/null 2>&1");
    state.counters["address_to_shown"] =
        RunFor(3 * interval, [&] { return window->Text1->text() == QString::fromStdString(moved); });
    state.SetIterationTime(1);
  }
}
BENCHMARK(BM_EveningAtDefaults)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (::geteuid() != 0) {
    std::printf("bench_reach: skipped (the router lab needs root for network namespaces)\n");
    return 0;
  }
  const char* situation = std::getenv("CREWMAP_BENCH_LAB");
  g_labDir = "/tmp/crewmap-bench-reach-" + std::to_string(::getpid());
  const std::string up = Run("LAB_OWNER=" + std::to_string(::getpid()) + " bash '" CREWMAP_LAB_SCRIPT "' up " +
                             (situation ? situation : "public") + " " + g_labDir + " 2>&1");
  std::istringstream lines(up);
  for (std::string line; std::getline(lines, line);)
    if (const auto eq = line.find('='); eq != std::string::npos) g_lab[line.substr(0, eq)] = line.substr(eq + 1);
  int status = 1;
  const int own = ::open("/proc/self/ns/net", O_RDONLY);
  // The whole process becomes the host PC behind the router (before any
  // thread starts, so every thread is in there).
  const int fd = g_lab.count("NS_PC") ? ::open(("/run/netns/" + g_lab["NS_PC"]).c_str(), O_RDONLY) : -1;
  if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
    std::fprintf(stderr, "bench_reach: the lab did not come up:\n%s\n", up.c_str());
  } else {
    // A private Xvfb inside the PC's namespace: an X server of the
    // machine's own namespace would be reachable only through its socket
    // file.
    ::unsetenv("DISPLAY");
    status = RunBenchmarks(argc, argv);
  }
  if (fd >= 0) ::close(fd);
  // Back home before the lab goes: it stops whatever runs inside it.
  if (own >= 0) {
    ::setns(own, CLONE_NEWNET);
    ::close(own);
  }
  Run("bash '" CREWMAP_LAB_SCRIPT "' down " + g_labDir + " >/dev/null 2>&1; rm -rf " + g_labDir);
  return status;
}
