// Churn: --cycles=N (default 10,000) members in turn, or as many as fit in
// --duration=SECONDS, connect to an in-process host as fast as they can,
// read their slot assignment and leave: by an orderly close, by a reset, or
// after half a line. The host turns an address that keeps reconnecting away
// for a while, so most cycles are refused. Afterwards the host must have
// every slot free but the one listening, each indicator in its colour, an
// empty slot table and one connection row and one departure row per served
// cycle (up to the log's cap). Reports those checks, the cycles served and
// refused, cycles per second and the host's resident memory growth. Needs X:
// $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "main/frm_main.h"
#include "net/winsock.h"
#include "ui/list_box.h"

namespace {

using namespace crewmap::bench;
using crewmap::net::SocketState;

long g_cycles = 10000;
long g_seconds = 0;

void BM_Churn(benchmark::State& state) {
  const long cycles = std::max(1L, g_cycles);
  for (auto _ : state) {
    InProcessHost host;
    auto& window = host.Window();
    std::atomic<bool> done{false};
    std::atomic<long> failures{0}, attempted{0};
    const auto start = Clock::now();
    const auto stopAt = start + std::chrono::seconds(g_seconds);
    std::thread churn([&] {
      for (long i = 0; g_seconds > 0 ? Clock::now() < stopAt : i < cycles; ++i) {
        ++attempted;
        LoopbackMember m;
        if (!m.Join(host.Port())) {
          ++failures;
          if (m.fd >= 0) ::close(m.fd);
          continue;
        }
        if (i % 3 == 1) {
          linger hard{1, 0};
          ::setsockopt(m.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        } else if (i % 3 == 2) {
          ::send(m.fd, "half\t1,", 7, MSG_NOSIGNAL);
        }
        ::close(m.fd);
      }
      done = true;
    });
    long before = 0, highest = 0;
    host.RunUntil([&] { return done.load(); }, 20, [&] {
      const long now = ResidentKb();
      if (before == 0) before = now;
      highest = std::max(highest, now);
    });
    churn.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    // Let the last departures through.
    auto settled = [&] {
      for (int n = 1; n <= 9; ++n) {
        const SocketState s = window.Winsock[n]->State();
        if (s != SocketState::Closed && s != SocketState::Listening) return false;
      }
      return true;
    };
    const auto until = Clock::now() + std::chrono::seconds(10);
    host.RunUntil([&] { return settled() || Clock::now() > until; });

    int free = 0, listening = 0, indicatorsRight = 0, slotsEmpty = 0;
    for (int n = 1; n <= 9; ++n) {
      const SocketState s = window.Winsock[n]->State();
      const bool listens = s == SocketState::Listening;
      free += s == SocketState::Closed;
      listening += listens;
      indicatorsRight += window.IndicatorColor(n) ==
                         (listens ? crewmap::main::frmMain::ListeningColor() : window.FreeColor());
      slotsEmpty += window.Slots[static_cast<std::size_t>(n)].Nick.empty();
    }
    const long total = attempted.load();
    state.counters["cycles"] = static_cast<double>(total);
    state.counters["served"] = static_cast<double>(total - failures);
    state.counters["refused"] = static_cast<double>(failures);
    state.counters["cycles_per_s"] = static_cast<double>(total) / elapsed;
    state.counters["rss_growth_mb"] = static_cast<double>(highest - before) / 1024.0;
    state.counters["free"] = free;
    state.counters["listening"] = listening;
    state.counters["indicators_right"] = indicatorsRight;
    state.counters["slots_empty"] = slotsEmpty;
    state.counters["log_rows"] = window.List1->count();
    if (listening != 1 || free != 8 || indicatorsRight != 9 || slotsEmpty != 9 ||
        window.List1->count() != std::min<long>(2 * (total - failures), window.List1->maxRows()))
      state.SkipWithError("the host did not come back to one listener and eight free slots");
  }
}
BENCHMARK(BM_Churn)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  g_cycles = TakeArgument(argc, argv, "cycles", 10000);
  g_seconds = TakeArgument(argc, argv, "duration", 0);
  return crewmap::bench::RunBenchmarks(argc, argv);
}
