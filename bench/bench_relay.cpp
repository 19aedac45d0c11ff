// Relay latency of the host: an in-process frmMain host (real Winsocks on a
// loopback port, its tick running) and eight loopback members on a thread of
// their own, each sending 100 reports a second. Every member of slots 1..8
// receives every member's report back through the host; the benchmark reports
// the relay latency (median, 99th percentile), reports lost, and the process's
// resident memory before and after. Duration: CREWMAP_BENCH_RELAY_SECONDS
// (default 30). Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "host_fixture.h"

namespace {

using namespace crewmap::bench;

void BM_HostRelay(benchmark::State& state) {
  const char* env = std::getenv("CREWMAP_BENCH_RELAY_SECONDS");
  const int seconds = env ? std::max(1, std::atoi(env)) : 30;
  for (auto _ : state) {
    InProcessHost host;
    ReportingResults results;
    std::atomic<bool> joined{false}, done{false}, ok{false};
    std::vector<LoopbackMember> members(8);  // the most a host serves
    std::thread thread([&] {
      if (!JoinAll(members, host.Port())) {
        done = true;
        return;
      }
      joined = true;
      RunReportingMembers(members, 100, seconds, results);
      ok = true;
      done = true;
    });
    long before = 0;
    host.RunUntil([&] { return done.load(); }, 20, [&] {
      if (joined && before == 0) before = ResidentKb();
    });
    thread.join();
    const long after = ResidentKb();
    for (auto& m : members) ::close(m.fd);
    if (!ok || results.latency.Count() == 0) {
      state.SkipWithError("the members could not join the host");
      return;
    }
    state.counters["p50_us"] = results.latency.Quantile(0.50);
    state.counters["p99_us"] = results.latency.Quantile(0.99);
    state.counters["max_us"] = results.latency.Max();
    state.counters["relays"] = static_cast<double>(results.received);
    state.counters["lost"] = static_cast<double>(results.expected - std::min(results.expected, results.received));
    state.counters["rss_before_kb"] = static_cast<double>(before);
    state.counters["rss_after_kb"] = static_cast<double>(after);
  }
}
BENCHMARK(BM_HostRelay)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return crewmap::bench::RunBenchmarks(argc, argv); }
