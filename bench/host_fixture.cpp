#include "host_fixture.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "main/frm_main.h"
#include "startup/common.h"
#include "support/xvfb_server.h"
#include "ui/message_box.h"

namespace crewmap::bench {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

InProcessHost::InProcessHost(const std::string& moreSettings) {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  port_ = probe.serverPort();
  probe.close();
  // The address-echo page is a closed loopback port: the lookup fails at once.
  ini_ = "/tmp/bench_host_" + std::to_string(::getpid()) + ".ini";
  std::ofstream(ini_) << "[NET]\nECHOURL=http://127.0.0.1:9/\n" << moreSettings;
  startup::IniPath = ini_;
  startup::StartMode = 0;
  main::MainOptions options;
  options.port = port_;
  options.lookupTimeoutMs = 2000;
  window_ = std::make_unique<main::frmMain>(std::move(options));
  window_->show();
}

InProcessHost::~InProcessHost() {
  window_.reset();
  std::remove(ini_.c_str());
}

void InProcessHost::RunUntil(const std::function<bool()>& done, int ms, const std::function<void()>& every) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (every) every();
    if (done()) loop.quit();
  });
  poll.start(ms);
  loop.exec();
}

int ConnectLoopback(int port, int receiveBuffer, const char* from) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  if (from) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  }
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

bool LoopbackMember::Drain(const std::function<void(std::string_view)>& line) {
  char buffer[65536];
  bool open = true;
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      pending.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) open = false;
    break;
  }
  std::size_t start = 0;
  for (std::size_t end; (end = pending.find("\r\n", start)) != std::string::npos; start = end + 2)
    line(std::string_view(pending).substr(start, end - start));
  pending.erase(0, start);
  return open;
}

bool LoopbackMember::Join(int port, int receiveBuffer, const char* from) {
  fd = ConnectLoopback(port, receiveBuffer, from);
  if (fd < 0) return false;
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (slot == 0 && Clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, 50);
    const bool open = Drain([&](std::string_view line) {
      if (line.substr(0, 7) == "client#") slot = std::atoi(std::string(line.substr(7)).c_str());
    });
    if (!open) break;  // refused: the host closed the connection
  }
  return slot != 0;
}

bool JoinAll(std::vector<LoopbackMember>& members, int port) {
  for (LoopbackMember& m : members)
    if (!m.Join(port)) return false;
  return true;
}

void RunReportingMembers(std::vector<LoopbackMember>& members, double reportsPerSecond, int seconds,
                         ReportingResults& results) {
  std::vector<std::uint64_t> received(members.size());
  auto onLine = [&](std::size_t i, std::string_view line) {
    // Only our own reports: "NN:m<slot>\t<seq>,<sent ns>".
    if (line.size() < 5 || line.substr(0, 3) == "00:" || line[3] != 'm') return;
    const auto comma = line.rfind(',');
    if (comma == std::string_view::npos) return;
    const std::int64_t sent = std::atoll(std::string(line.substr(comma + 1)).c_str());
    results.latency.Add(static_cast<double>(NowNs() - sent) / 1000.0);
    ++received[i];
  };
  auto drainAll = [&](int waitMs) {
    std::vector<pollfd> polls;
    for (const auto& m : members) polls.push_back({m.fd, POLLIN, 0});
    ::poll(polls.data(), polls.size(), waitMs);
    for (std::size_t i = 0; i < members.size(); ++i)
      members[i].Drain([&](std::string_view line) { onLine(i, line); });
  };

  const auto period = std::chrono::nanoseconds(static_cast<std::int64_t>(1e9 / reportsPerSecond));
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  auto next = start;
  std::uint64_t seq = 0;
  while (Clock::now() < end) {
    if (Clock::now() >= next) {
      for (auto& m : members) {
        const std::string report = "m" + std::to_string(m.slot) + "\t" + std::to_string(seq) + "," +
                                   std::to_string(NowNs()) + "\r\n";
        ::send(m.fd, report.data(), report.size(), MSG_NOSIGNAL);
      }
      ++seq;
      next += period;
    }
    drainAll(1);
  }
  results.sentPerMember = seq;
  std::uint64_t receivers = 0;
  for (const auto& m : members)
    if (m.slot <= 8) ++receivers;  // every member the host serves receives relays
  results.expected = seq * members.size() * receivers;
  // The last relays: until all are in, or 10 s have passed.
  auto total = [&] {
    std::uint64_t sum = 0;
    for (const std::uint64_t r : received) sum += r;
    return sum;
  };
  const auto drainUntil = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < drainUntil && total() < results.expected) drainAll(20);
  results.received = total();
}

namespace {
constexpr double kStepUs = 10;
constexpr std::size_t kSteps = 1'000'000;  // 10 s
}  // namespace

LatencyHistogram::LatencyHistogram() : steps_(kSteps + 1, 0) {}

void LatencyHistogram::Add(double us) {
  const auto step = static_cast<std::size_t>(std::max(0.0, us) / kStepUs);
  ++steps_[std::min(step, kSteps)];
  ++count_;
  max_ = std::max(max_, us);
}

double LatencyHistogram::Quantile(double p) const {
  if (count_ == 0) return 0;
  const auto wanted = static_cast<std::uint64_t>(p * static_cast<double>(count_ - 1)) + 1;
  std::uint64_t seen = 0;
  for (std::size_t i = 0; i < steps_.size(); ++i) {
    seen += steps_[i];
    if (seen >= wanted) return static_cast<double>(i + 1) * kStepUs;
  }
  return max_;
}

long TakeArgument(int& argc, char** argv, std::string_view name, long fallback) {
  const std::string prefix = "--" + std::string(name) + "=";
  long value = fallback;
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
      value = std::atol(argv[i] + prefix.size());
    else
      argv[out++] = argv[i];
  }
  argc = out;
  return value;
}

int RunBenchmarks(int argc, char** argv) {
  test::XvfbServer server;
  if (!test::UseDisplayOrStart(server)) return 1;
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // Nobody answers dialogs here (the map pictures may be missing).
  ui::SetMessageHook([](const QString&, ui::MessageButtons) { return ui::MessageAnswer::Cancel; });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace crewmap::bench
