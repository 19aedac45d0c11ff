// Relay latency of the host: an in-process frmMain host (real Winsocks on a
// loopback port, its tick running) and nine loopback members on a thread of
// their own, each sending 100 reports a second. Every member of slots 1..8
// receives every member's report back through the host; the benchmark reports
// the relay latency (median, 99th percentile), reports lost, and the process's
// resident memory before and after. Duration: CREWMAP_BENCH_RELAY_SECONDS
// (default 30). Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "main/frm_main.h"
#include "startup/common.h"
#include "support/xvfb_server.h"
#include "ui/message_box.h"

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct Member {
  int fd = -1;
  int slot = 0;
  std::string pending;
  std::uint64_t received = 0;
};

struct Results {
  std::vector<double> latenciesUs;
  std::uint64_t expected = 0;
  std::uint64_t received = 0;
  bool ok = false;
};

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// Reads what is there; hands every complete line to `line`.
template <class OnLine>
bool Drain(Member& m, OnLine line) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::recv(m.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      m.pending.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) return false;
    break;
  }
  std::size_t start = 0;
  for (std::size_t end; (end = m.pending.find("\r\n", start)) != std::string::npos; start = end + 2)
    line(std::string_view(m.pending).substr(start, end - start));
  m.pending.erase(0, start);
  return true;
}

void RunMembers(int port, int seconds, Results& results, std::atomic<bool>& joined,
                std::atomic<bool>& done) {
  std::array<Member, 9> members;
  for (int i = 0; i < 9; ++i) {
    Member& m = members[static_cast<std::size_t>(i)];
    m.fd = ConnectLoopback(port);
    if (m.fd < 0) {
      done = true;
      return;
    }
    // Wait for the slot assignment before the next one joins.
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (m.slot == 0 && Clock::now() < until) {
      pollfd p{m.fd, POLLIN, 0};
      ::poll(&p, 1, 50);
      Drain(m, [&](std::string_view line) {
        if (line.substr(0, 7) == "client#") m.slot = std::atoi(std::string(line.substr(7)).c_str());
      });
    }
    if (m.slot == 0) {
      done = true;
      return;
    }
  }
  joined = true;

  auto onLine = [&](Member& m, std::string_view line) {
    // "NN:mK\tseq,sentNs" from members; "00:..." host positions are skipped.
    if (line.size() < 4 || line.substr(0, 3) == "00:") return;
    const auto comma = line.rfind(',');
    if (comma == std::string_view::npos) return;
    const std::int64_t sent = std::atoll(std::string(line.substr(comma + 1)).c_str());
    results.latenciesUs.push_back(static_cast<double>(NowNs() - sent) / 1000.0);
    ++m.received;
  };

  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  std::uint64_t seq = 0;
  auto next = start;
  std::uint64_t sentPerMember = 0;
  while (Clock::now() < end) {
    // 100 reports a second from every member.
    if (Clock::now() >= next) {
      for (Member& m : members) {
        const std::string report =
            "m" + std::to_string(m.slot) + "\t" + std::to_string(seq) + "," + std::to_string(NowNs()) + "\r\n";
        ::send(m.fd, report.data(), report.size(), MSG_NOSIGNAL);
      }
      ++seq;
      ++sentPerMember;
      next += std::chrono::milliseconds(10);
    }
    std::array<pollfd, 9> polls{};
    for (std::size_t i = 0; i < 9; ++i) polls[i] = {members[i].fd, POLLIN, 0};
    ::poll(polls.data(), polls.size(), 1);
    for (Member& m : members) Drain(m, [&](std::string_view line) { onLine(m, line); });
  }
  // Let the last relays arrive.
  const auto drainUntil = Clock::now() + std::chrono::seconds(2);
  while (Clock::now() < drainUntil) {
    std::array<pollfd, 9> polls{};
    for (std::size_t i = 0; i < 9; ++i) polls[i] = {members[i].fd, POLLIN, 0};
    ::poll(polls.data(), polls.size(), 20);
    for (Member& m : members) Drain(m, [&](std::string_view line) { onLine(m, line); });
  }
  for (Member& m : members) {
    if (m.slot <= 8) results.expected += sentPerMember * 9;  // slot 9 receives no relays
    results.received += m.received;
    ::close(m.fd);
  }
  results.ok = true;
  done = true;
}

void BM_HostRelay(benchmark::State& state) {
  const char* env = std::getenv("CREWMAP_BENCH_RELAY_SECONDS");
  const int seconds = env ? std::max(1, std::atoi(env)) : 30;
  for (auto _ : state) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();

    // The address-echo page is a closed loopback port: the lookup fails at once.
    const std::string ini = "/tmp/bench_relay_" + std::to_string(::getpid()) + ".ini";
    std::ofstream(ini) << "[NET]\nECHOURL=http://127.0.0.1:9/\n";
    crewmap::startup::IniPath = ini;
    crewmap::startup::StartMode = 0;
    crewmap::main::MainOptions options;
    options.port = port;
    options.lookupTimeoutMs = 2000;
    options.closeWaitMs = 1000;
    auto host = std::make_unique<crewmap::main::frmMain>(std::move(options));
    host->show();

    Results results;
    std::atomic<bool> joined{false}, done{false};
    std::thread members(RunMembers, port, seconds, std::ref(results), std::ref(joined), std::ref(done));
    long before = 0;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (joined && before == 0) before = ResidentKb();
      if (done) loop.quit();
    });
    poll.start(20);
    loop.exec();
    members.join();
    const long after = ResidentKb();
    host.reset();
    std::remove(ini.c_str());

    if (!results.ok || results.latenciesUs.empty()) {
      state.SkipWithError("the members could not join the host");
      return;
    }
    std::sort(results.latenciesUs.begin(), results.latenciesUs.end());
    const auto at = [&](double q) {
      return results.latenciesUs[static_cast<std::size_t>(q * static_cast<double>(results.latenciesUs.size() - 1))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = results.latenciesUs.back();
    state.counters["relays"] = static_cast<double>(results.received);
    state.counters["lost"] = static_cast<double>(results.expected - std::min(results.expected, results.received));
    state.counters["rss_before_kb"] = static_cast<double>(before);
    state.counters["rss_after_kb"] = static_cast<double>(after);
  }
}
BENCHMARK(BM_HostRelay)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  crewmap::test::XvfbServer server;
  if (!crewmap::test::UseDisplayOrStart(server)) return 1;
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // Nobody answers dialogs here (the map pictures may be missing).
  crewmap::ui::SetMessageHook([](const QString&, crewmap::ui::MessageButtons) {
    return crewmap::ui::MessageAnswer::Cancel;
  });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
