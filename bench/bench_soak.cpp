// Soak: an in-process host and eight loopback members, each reporting 100
// times a second, for --duration=SECONDS (default 60; the full soak is 600).
// Reports relays lost, the relay latency, and the host process's resident
// memory sampled every 5 s: its value once the members have joined and run
// for a tenth of the time (warm), at the end, and the highest, with the drift
// from warm in percent. Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>
#include <unistd.h>

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

void BM_Soak(benchmark::State& state) {
  const int seconds = static_cast<int>(std::max(1L, g_seconds));
  for (auto _ : state) {
    InProcessHost host;
    ReportingResults results;
    std::atomic<bool> done{false}, ok{false};
    std::atomic<std::int64_t> startedNs{0};
    std::vector<LoopbackMember> members(8);  // the most a host serves
    std::thread thread([&] {
      if (!JoinAll(members, host.Port())) {
        done = true;
        return;
      }
      startedNs = NowNs();
      RunReportingMembers(members, 100, seconds, results);
      ok = true;
      done = true;
    });
    long warm = 0, highest = 0, last = 0;
    auto nextSample = Clock::now();
    host.RunUntil([&] { return done.load(); }, 100, [&] {
      if (startedNs == 0 || Clock::now() < nextSample) return;
      nextSample = Clock::now() + std::chrono::seconds(5);
      last = ResidentKb();
      const double elapsed = static_cast<double>(NowNs() - startedNs) / 1e9;
      if (warm == 0 && elapsed >= seconds / 10.0) warm = last;
      if (warm != 0) highest = std::max(highest, last);
    });
    thread.join();
    for (auto& m : members) ::close(m.fd);
    std::uint64_t dropped = 0;
    for (int n = 1; n <= 9; ++n) dropped += host.Window().Winsock[n]->PositionsDropped();
    state.counters["dropped_by_queue"] = static_cast<double>(dropped);
    state.counters["over_budget"] = static_cast<double>(host.Window().Host()->RelaysOverBudget());
    if (!ok || results.latency.Count() == 0) {
      state.SkipWithError("the members could not join the host");
      return;
    }
    state.counters["seconds"] = seconds;
    state.counters["relays"] = static_cast<double>(results.received);
    state.counters["lost"] = static_cast<double>(results.expected - std::min(results.expected, results.received));
    state.counters["p50_us"] = results.latency.Quantile(0.50);
    state.counters["p99_us"] = results.latency.Quantile(0.99);
    state.counters["rss_warm_kb"] = static_cast<double>(warm);
    state.counters["rss_end_kb"] = static_cast<double>(last);
    state.counters["rss_max_kb"] = static_cast<double>(highest);
    state.counters["rss_drift_pct"] = warm ? 100.0 * static_cast<double>(highest - warm) / static_cast<double>(warm) : 0;
  }
}
BENCHMARK(BM_Soak)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  g_seconds = TakeArgument(argc, argv, "duration", 60);
  return crewmap::bench::RunBenchmarks(argc, argv);
}
