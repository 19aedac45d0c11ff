// Flood: an in-process host; one loopback member (slot 1, a 4 KiB receive
// buffer) that never reads and sends "a<TAB><CR><LF>" as fast as the host
// takes it; seven honest members (slots 2..8) reporting once a second, for
// --duration=SECONDS (default 60). Reports the honest members' relay latency
// (p50, p99, max), the relays they lost, the host's resident memory growth
// over the run, its ticks (count and longest gap), and when the host cut the
// flooder off. Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "main/frm_main.h"
#include "main/host_side.h"
#include "net/winsock.h"

namespace {

using namespace crewmap::bench;

long g_seconds = 60;

void BM_Flood(benchmark::State& state) {
  const int seconds = static_cast<int>(std::max(1L, g_seconds));
  for (auto _ : state) {
    InProcessHost host;
    auto& window = host.Window();

    const int flooder = ConnectLoopback(host.Port(), 4096);
    host.RunUntil([&] {
      return window.Winsock[1]->State() == crewmap::net::SocketState::Connected;
    });

    ReportingResults results;
    std::atomic<bool> joined{false}, done{false}, ok{false};
    std::atomic<std::int64_t> startNs{0}, cutNs{0}, floodBytes{0};
    std::vector<LoopbackMember> members(7);
    std::thread honest([&] {
      if (!JoinAll(members, host.Port())) {
        done = true;
        return;
      }
      startNs = NowNs();
      joined = true;
      RunReportingMembers(members, 1, seconds, results);
      ok = true;
      done = true;
    });
    std::thread flood([&] {
      while (!joined && !done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      std::string chunk;
      while (chunk.size() < 65536) chunk += "a\t\r\n";
      while (!done) {
        const ssize_t n = ::send(flooder, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n <= 0) {
          cutNs = NowNs();
          return;
        }
        floodBytes += n;
      }
    });

    std::vector<std::int64_t> ticks;
    QObject::connect(window.Timer1, &QTimer::timeout, &window, [&] {
      if (joined && !done) ticks.push_back(NowNs());
    });
    long before = 0, highest = 0;
    host.RunUntil([&] { return done.load(); }, 100, [&] {
      if (!joined) return;
      const long now = ResidentKb();
      if (before == 0) before = now;
      highest = std::max(highest, now);
    });
    honest.join();
    ::shutdown(flooder, SHUT_RDWR);
    flood.join();
    ::close(flooder);
    for (auto& m : members) ::close(m.fd);
    if (!ok || results.latency.Count() == 0) {
      state.SkipWithError("the members could not join the host");
      return;
    }
    std::int64_t longestGap = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) longestGap = std::max(longestGap, ticks[i] - ticks[i - 1]);
    state.counters["honest_p50_ms"] = results.latency.Quantile(0.50) / 1000.0;
    state.counters["honest_p99_ms"] = results.latency.Quantile(0.99) / 1000.0;
    state.counters["honest_max_ms"] = results.latency.Max() / 1000.0;
    state.counters["honest_relays"] = static_cast<double>(results.received);
    state.counters["honest_lost"] =
        static_cast<double>(results.expected - std::min(results.expected, results.received));
    state.counters["rss_growth_mb"] = static_cast<double>(highest - before) / 1024.0;
    state.counters["ticks"] = static_cast<double>(ticks.size());
    state.counters["tick_gap_max_ms"] = static_cast<double>(longestGap) / 1e6;
    state.counters["over_budget"] = static_cast<double>(window.Host()->RelaysOverBudget());
    state.counters["flood_mb"] = static_cast<double>(floodBytes) / 1e6;
    state.counters["flooder_cut_s"] = cutNs ? static_cast<double>(cutNs - startNs) / 1e9 : -1;
  }
}
BENCHMARK(BM_Flood)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  g_seconds = TakeArgument(argc, argv, "duration", 60);
  return crewmap::bench::RunBenchmarks(argc, argv);
}
