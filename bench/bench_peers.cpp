// Peers that do not play along, against an in-process host, each beside the
// same run without them:
//  - Close: the host's window closes while two members have stopped reading
//    (their queues full) and one reads; close_ms, and the same with three
//    reading members.
//  - Squatters: eight connections (one address) take every slot and never
//    send; a member from another address tries every second until it joins;
//    join_s, and the same with no squatters.
//  - Pause: a member stops reading for --pause=SECONDS (default 40) while a
//    tiny-line flooder that never reads fills its queue, then reads again;
//    still_connected (1 or 0), and the same without the flooder.
// Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "main/frm_main.h"
#include "main/host_side.h"
#include "net/winsock.h"

namespace {

using namespace crewmap::bench;

long g_pauseSeconds = 40;

void BM_CloseWithStalledPeers(benchmark::State& state) {
  const bool stalled = state.range(0) != 0;
  for (auto _ : state) {
    InProcessHost host;
    auto& window = host.Window();
    std::vector<LoopbackMember> members(3);
    std::atomic<bool> joined{false}, tried{false};
    std::thread joining([&] {
      bool all = true;
      for (std::size_t i = 0; i < members.size(); ++i)
        all = all && members[i].Join(host.Port(), stalled && i < 2 ? 2048 : 0);
      joined = all;
      tried = true;
    });
    host.RunUntil([&] { return tried.load(); });
    joining.join();
    if (!joined) {
      state.SkipWithError("a member could not join");
      return;
    }
    // The third member sends long reports; the first two take none of the
    // relays when stalled, so their queues fill up.
    const std::string report = std::string(4000, 'L') + "\t1,1\r\n";
    const auto until = Clock::now() + std::chrono::seconds(20);
    host.RunUntil(
        [&] {
          if (Clock::now() > until) return true;
          if (!stalled) return true;
          return window.Winsock[1]->BytesUnsent() > 8192 && window.Winsock[2]->BytesUnsent() > 8192;
        },
        50, [&] {
          ::send(members[2].fd, report.data(), report.size(), MSG_NOSIGNAL);
          members[2].Drain([](std::string_view) {});
          if (!stalled) for (int i = 0; i < 2; ++i) members[static_cast<std::size_t>(i)].Drain([](std::string_view) {});
        });
    const std::int64_t start = NowNs();
    window.close();
    const double closeMs = static_cast<double>(NowNs() - start) / 1e6;
    state.counters["close_ms"] = closeMs;
    state.counters["stalled_peers"] = stalled ? 2 : 0;
    for (auto& m : members) ::close(m.fd);
  }
}
BENCHMARK(BM_CloseWithStalledPeers)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JoinPastSquatters(benchmark::State& state) {
  const int squatters = static_cast<int>(state.range(0));
  for (auto _ : state) {
    InProcessHost host;
    std::vector<LoopbackMember> silent(static_cast<std::size_t>(squatters));
    std::atomic<bool> done{false};
    std::atomic<double> joinS{-1};
    std::atomic<int> tries{0};
    std::thread peers([&] {
      for (auto& s : silent) s.Join(host.Port());
      const std::int64_t start = NowNs();
      while (NowNs() - start < 60'000'000'000LL) {
        LoopbackMember honest;
        ++tries;
        if (honest.Join(host.Port(), 0, "127.0.0.2")) {
          joinS = static_cast<double>(NowNs() - start) / 1e9;
          ::close(honest.fd);
          break;
        }
        if (honest.fd >= 0) ::close(honest.fd);
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the user presses 接続 again
      }
      done = true;
    });
    host.RunUntil([&] { return done.load(); });
    peers.join();
    for (auto& s : silent) ::close(s.fd);
    state.counters["squatters"] = squatters;
    state.counters["join_s"] = joinS.load();
    state.counters["tries"] = tries.load();
  }
}
BENCHMARK(BM_JoinPastSquatters)->Arg(0)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_PauseUnderFlood(benchmark::State& state) {
  const bool flood = state.range(0) != 0;
  for (auto _ : state) {
    InProcessHost host;
    LoopbackMember reader;
    int flooder = -1;
    std::atomic<bool> done{false}, joined{false};
    std::atomic<bool> connected{false};
    std::thread work([&] {
      if (!reader.Join(host.Port(), 4096)) {
        done = true;
        return;
      }
      joined = true;
      if (flood) flooder = ConnectLoopback(host.Port(), 4096);
      std::string chunk;
      while (chunk.size() < 65536) chunk += "a\t\r\n";
      const std::int64_t start = NowNs();
      const std::int64_t pauseEnd = g_pauseSeconds * 1'000'000'000LL;
      bool open = true;
      std::int64_t lastReport = 0;
      while (NowNs() - start < pauseEnd + 5'000'000'000LL) {
        if (flooder >= 0) ::send(flooder, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        // The member reads before and after its pause, not during it.
        const std::int64_t t = NowNs() - start;
        if (t < 2'000'000'000LL || t > pauseEnd + 2'000'000'000LL) {
          reader.Drain([](std::string_view) {});
          pollfd p{reader.fd, POLLIN, 0};
          if (::poll(&p, 1, 0) > 0 && !reader.Drain([](std::string_view) {})) open = false;
        }
        // It reports once a second all along.
        if (t - lastReport > 1'000'000'000LL) {
          lastReport = t;
          ::send(reader.fd, "r\t1,1\r\n", 7, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      connected = open && reader.Drain([](std::string_view) {});
      done = true;
    });
    host.RunUntil([&] { return done.load(); });
    work.join();
    if (!joined) {
      state.SkipWithError("the member could not join");
      return;
    }
    state.counters["flood"] = flood ? 1 : 0;
    state.counters["pause_s"] = static_cast<double>(g_pauseSeconds);
    state.counters["still_connected"] = connected ? 1 : 0;
    state.counters["member_slot_held"] = host.Window().Host()->Occupied(1) ? 1 : 0;
    if (flooder >= 0) ::close(flooder);
    if (reader.fd >= 0) ::close(reader.fd);
  }
}
BENCHMARK(BM_PauseUnderFlood)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  g_pauseSeconds = TakeArgument(argc, argv, "pause", 40);
  return crewmap::bench::RunBenchmarks(argc, argv);
}
