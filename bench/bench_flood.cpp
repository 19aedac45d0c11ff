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
#include <map>
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


// Long flood: a member sends lines of the longest length a host takes as
// fast as the host reads them, and reads its relays; one honest member reads
// at most 64 KB a second (a slow link), two read at once; the three honest
// members report once a second for --duration=SECONDS. Reports the share of
// the honest relays the slow member got and its longest wait between two
// relays of one honest sender; Arg(0) is the same run without the flooder.
void BM_SlowMemberUnderLongFlood(benchmark::State& state) {
  const bool flooding = state.range(0) != 0;
  const int seconds = static_cast<int>(std::max(1L, g_seconds));
  for (auto _ : state) {
    InProcessHost host;
    LoopbackMember flooder;
    std::vector<LoopbackMember> honest(3);
    std::atomic<bool> done{false}, ok{false}, joined{false};
    std::atomic<std::uint64_t> slowGot{0}, sent{0};
    std::atomic<std::int64_t> longestGapNs{0};
    std::thread members([&] {
      if ((flooding && !flooder.Join(host.Port())) || !honest[0].Join(host.Port(), 8192) ||
          !honest[1].Join(host.Port()) || !honest[2].Join(host.Port())) {
        done = true;
        return;
      }
      joined = true;
      std::map<std::string, std::int64_t> lastFrom;  // sender slot -> when its last relay came
      const std::int64_t start = NowNs();
      std::int64_t nextReport = start, budgetAt = start;
      std::int64_t allowance = 0;  // the slow member's bytes it may read now
      std::uint64_t seq = 0;
      char buffer[65536];
      while (NowNs() - start < seconds * 1'000'000'000LL) {
        const std::int64_t now = NowNs();
        if (now >= nextReport) {
          for (auto& m : honest) {
            const std::string report = "m" + std::to_string(m.slot) + "\t" + std::to_string(seq) + ",1\r\n";
            ::send(m.fd, report.data(), report.size(), MSG_NOSIGNAL);
          }
          ++seq;
          nextReport += 1'000'000'000LL;
        }
        // 64 KB a second, taken in small reads.
        allowance = std::min<std::int64_t>(allowance + (now - budgetAt) * 65536 / 1'000'000'000LL, 16384);
        budgetAt = now;
        while (allowance > 0) {
          const ssize_t n = ::recv(honest[0].fd, buffer, static_cast<std::size_t>(std::min<std::int64_t>(allowance, sizeof buffer)), MSG_DONTWAIT);
          if (n <= 0) break;
          allowance -= n;
          honest[0].pending.append(buffer, static_cast<std::size_t>(n));
        }
        std::size_t from = 0;
        for (std::size_t end; (end = honest[0].pending.find("\r\n", from)) != std::string::npos; from = end + 2) {
          const std::string_view line = std::string_view(honest[0].pending).substr(from, end - from);
          if (line.size() > 3 && line[3] == 'm') {
            ++slowGot;
            const std::string sender(line.substr(0, 2));
            const auto it = lastFrom.find(sender);
            if (it != lastFrom.end()) longestGapNs = std::max<std::int64_t>(longestGapNs, now - it->second);
            lastFrom[sender] = now;
          }
        }
        honest[0].pending.erase(0, from);
        honest[1].Drain([](std::string_view) {});
        honest[2].Drain([](std::string_view) {});
        if (flooding) flooder.Drain([](std::string_view) {});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      sent = seq * honest.size();
      ok = true;
      done = true;
    });
    std::thread flood([&] {
      if (!flooding) return;
      while (!joined && !done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const std::string line = std::string(4093 - 6, 'F') + "\t1,1\r\n";
      std::string chunk;
      while (chunk.size() < 65536) chunk += line;
      while (!done) {
        if (::send(flooder.fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) <= 0)
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
    host.RunUntil([&] { return done.load(); });
    members.join();
    flood.join();
    if (flooder.fd >= 0) ::close(flooder.fd);
    for (auto& m : honest) ::close(m.fd);
    if (!ok) {
      state.SkipWithError("the members could not join the host");
      return;
    }
    state.counters["flooder"] = flooding ? 1 : 0;
    state.counters["slow_share_pct"] = 100.0 * static_cast<double>(slowGot) / static_cast<double>(std::max<std::uint64_t>(sent, 1));
    state.counters["slow_gap_max_s"] = static_cast<double>(longestGapNs) / 1e9;
  }
}
BENCHMARK(BM_SlowMemberUnderLongFlood)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
}  // namespace

int main(int argc, char** argv) {
  g_seconds = TakeArgument(argc, argv, "duration", 60);
  return crewmap::bench::RunBenchmarks(argc, argv);
}
