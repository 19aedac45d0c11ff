// The group key under load and on joining. Needs X: $DISPLAY or a private Xvfb.
//
// BM_KeyedHostUnderGuessing/N: an in-process host and seven honest members
// (own loopback addresses) reporting once a second for --duration=SECONDS
// (default 30). N = 0: open host; 1: keyed host; 2: keyed host while four
// connections from one address (127.0.0.2) send wrong answers back to back
// and 50 addresses (127.0.1.x) each open a new connection every second (half
// send a report, half stay silent). Reports the host thread's CPU share, the
// honest members' relay latency (p50, p99, max) and losses, the attackers'
// connections and wrong answers, and the host's log rows.
//
// BM_JoinTime/N: 20 joins one after another, each from its own address,
// from connecting to the slot assignment (N = 0: open host; 1: keyed host,
// key already stretched); and BM_KeyStretch: stretching a key once, which a
// member does before its first attempt with a new key.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "main/frm_main.h"
#include "net/key_exchange.h"
#include "net/key_lines.h"
#include "ui/list_box.h"

namespace {

using namespace crewmap::bench;
namespace net = crewmap::net;

long g_seconds = 30;
constexpr char kKey[] = "夜明けの港";

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Connects from `from` and goes through the exchange (none when `key` is
// null) up to the slot assignment; false if the host let it go.
bool KeyedJoin(LoopbackMember& m, int port, const net::GroupKey* key, const char* from) {
  m.fd = ConnectLoopback(port, 0, from);
  if (m.fd < 0) return false;
  net::MemberKeyCheck check;
  check.Begin(key ? std::optional(*key) : std::nullopt);
  const auto until = Clock::now() + std::chrono::seconds(5);
  for (bool open = true; m.slot == 0 && open && Clock::now() < until;) {
    pollfd p{m.fd, POLLIN, 0};
    ::poll(&p, 1, 20);
    open = m.Drain([&](std::string_view line) {
      const net::MemberKeyStep step = check.Piece(line);
      if (step.verdict == net::MemberKeyVerdict::Answer) ::send(m.fd, step.reply.data(), step.reply.size(), MSG_NOSIGNAL);
      if (step.verdict == net::MemberKeyVerdict::Pass && line.substr(0, 7) == "client#" && m.slot == 0)
        m.slot = std::atoi(std::string(line.substr(7)).c_str());
    });
  }
  return m.slot != 0;
}

// Reads until the host closes `fd` or `ms` pass; the first line that came.
std::string ReadToClose(int fd, int ms) {
  std::string got;
  char buffer[4096];
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void BM_KeyedHostUnderGuessing(benchmark::State& state) {
  const bool keyed = state.range(0) >= 1, attacked = state.range(0) == 2;
  const int seconds = static_cast<int>(std::max(1L, g_seconds));
  const std::optional<net::GroupKey> key = net::GroupKey::Stretch(kKey);
  for (auto _ : state) {
    InProcessHost host(keyed ? std::string("KEY=") + kKey + "\n" : "");
    ReportingResults results;
    std::atomic<bool> joined{false}, done{false}, ok{false};
    std::atomic<std::uint64_t> guesses{0}, wrongAnswers{0}, scans{0};
    std::vector<LoopbackMember> members(7);
    std::thread honest([&] {
      for (std::size_t i = 0; i < members.size(); ++i) {
        const std::string from = "127.0.0." + std::to_string(10 + i);
        if (!KeyedJoin(members[i], host.Port(), keyed ? &*key : nullptr, from.c_str())) {
          done = true;
          return;
        }
      }
      joined = true;
      RunReportingMembers(members, 1, seconds, results);
      ok = true;
      done = true;
    });
    std::vector<std::thread> attackers;
    for (int g = 0; attacked && g < 4; ++g)
      attackers.emplace_back([&] {  // wrong answers from one address, back to back
        while (!joined && !done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        while (!done) {
          const int fd = ConnectLoopback(host.Port(), 0, "127.0.0.2");
          if (fd < 0) continue;
          ++guesses;
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, 2000) > 0) {
            std::string first(256, '\0');
            const ssize_t n = ::recv(fd, first.data(), first.size(), 0);
            if (n > 0 && net::ParseKeyChallenge(first.substr(0, first.find("\r\n")))) {
              const std::string answer = net::BuildKeyAnswer(net::FreshNonce(), std::string(net::kProofBytes, 'x'));
              ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
              ++wrongAnswers;
              ReadToClose(fd, 6000);
            }
          }
          ::close(fd);
        }
      });
    if (attacked)
      attackers.emplace_back([&] {  // 50 addresses, a new connection each every second
        while (!joined && !done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::vector<int> open;
        auto next = Clock::now();
        while (!done) {
          if (Clock::now() >= next) {
            for (int a = 1; a <= 50 && open.size() < 2000; ++a) {
              const int fd = ConnectLoopback(host.Port(), 0, ("127.0.1." + std::to_string(a)).c_str());
              if (fd < 0) continue;
              ++scans;
              if (a % 2 == 0) ::send(fd, "Stranger\t1,2\r\n", 14, MSG_NOSIGNAL);
              open.push_back(fd);
            }
            next += std::chrono::seconds(1);
          }
          std::vector<pollfd> polls;
          for (const int fd : open) polls.push_back({fd, POLLIN, 0});
          ::poll(polls.data(), polls.size(), 20);
          char sink[4096];
          for (const pollfd& p : polls)
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && ::recv(p.fd, sink, sizeof sink, MSG_DONTWAIT) <= 0) {
              ::close(p.fd);
              open.erase(std::find(open.begin(), open.end(), p.fd));
            }
        }
        for (const int fd : open) ::close(fd);
      });
    double cpuStart = -1, wallStart = 0;
    host.RunUntil([&] { return done.load(); }, 20, [&] {
      if (joined && cpuStart < 0) {
        cpuStart = ThreadCpuSeconds();
        wallStart = static_cast<double>(NowNs()) / 1e9;
      }
    });
    const double cpu = ThreadCpuSeconds() - cpuStart, wall = static_cast<double>(NowNs()) / 1e9 - wallStart;
    honest.join();
    for (std::thread& t : attackers) t.join();
    for (auto& m : members) ::close(m.fd);
    if (!ok || results.latency.Count() == 0) {
      state.SkipWithError("the members could not join the host");
      return;
    }
    state.counters["host_cpu_pct"] = 100.0 * cpu / wall;
    state.counters["honest_p50_ms"] = results.latency.Quantile(0.50) / 1000.0;
    state.counters["honest_p99_ms"] = results.latency.Quantile(0.99) / 1000.0;
    state.counters["honest_max_ms"] = results.latency.Max() / 1000.0;
    state.counters["honest_lost"] =
        static_cast<double>(results.expected - std::min(results.expected, results.received));
    state.counters["guess_conns"] = static_cast<double>(guesses);
    state.counters["wrong_answers"] = static_cast<double>(wrongAnswers);
    state.counters["scan_conns"] = static_cast<double>(scans);
    state.counters["log_rows"] = host.Window().List1->count();
  }
}
BENCHMARK(BM_KeyedHostUnderGuessing)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_JoinTime(benchmark::State& state) {
  const bool keyed = state.range(0) == 1;
  const std::optional<net::GroupKey> key = net::GroupKey::Stretch(kKey);
  for (auto _ : state) {
    InProcessHost host(keyed ? std::string("KEY=") + kKey + "\n" : "");
    std::vector<double> ms;
    std::atomic<bool> done{false};
    std::thread joiner([&] {
      for (int i = 0; i < 20; ++i) {
        LoopbackMember m;
        const std::int64_t start = NowNs();
        const std::string from = "127.0.2." + std::to_string(i + 1);
        if (KeyedJoin(m, host.Port(), keyed ? &*key : nullptr, from.c_str()))
          ms.push_back(static_cast<double>(NowNs() - start) / 1e6);
        ::close(m.fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the slot frees
      }
      done = true;
    });
    host.RunUntil([&] { return done.load(); }, 5);
    joiner.join();
    if (ms.size() != 20) {
      state.SkipWithError("a join failed");
      return;
    }
    std::sort(ms.begin(), ms.end());
    state.counters["join_p50_ms"] = ms[ms.size() / 2];
    state.counters["join_max_ms"] = ms.back();
  }
}
BENCHMARK(BM_JoinTime)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KeyStretch(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(net::GroupKey::Stretch(kKey));
}
BENCHMARK(BM_KeyStretch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  g_seconds = TakeArgument(argc, argv, "duration", 30);
  return crewmap::bench::RunBenchmarks(argc, argv);
}
