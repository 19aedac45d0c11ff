// What the host benchmarks share: an in-process frmMain host on a free
// loopback port (real Winsocks, its tick running), raw loopback member
// sockets, the process's resident memory, and a Qt main for the benchmarks.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace crewmap::main {
class frmMain;
}

namespace crewmap::bench {

using Clock = std::chrono::steady_clock;

std::int64_t NowNs();
long ResidentKb();

// A host window on a free port whose address lookup fails at once;
// `moreSettings` goes into section NET of its settings file.
class InProcessHost {
 public:
  explicit InProcessHost(const std::string& moreSettings = "");
  ~InProcessHost();
  int Port() const { return port_; }
  main::frmMain& Window() { return *window_; }
  // Runs the event loop until `done` holds, calling `every` about every `ms`.
  void RunUntil(const std::function<bool()>& done, int ms = 20, const std::function<void()>& every = {});

 private:
  int port_ = 0;
  std::string ini_;
  std::unique_ptr<main::frmMain> window_;
};

// A plain blocking TCP socket to 127.0.0.1:port (TCP_NODELAY); -1 on failure.
// receiveBuffer > 0 sets SO_RCVBUF before connecting; `from` is a loopback
// source address (127.0.0.2, ...) for a peer the host should tell apart.
int ConnectLoopback(int port, int receiveBuffer = 0, const char* from = nullptr);

// A member socket that collects lines.
struct LoopbackMember {
  int fd = -1;
  int slot = 0;
  std::string pending;
  // Reads what is there without waiting; hands each complete line to `line`.
  // False once the peer has closed.
  bool Drain(const std::function<void(std::string_view)>& line);
  // Connects and waits (up to 5 s) for the slot assignment; false if refused.
  bool Join(int port, int receiveBuffer = 0, const char* from = nullptr);
};

// Joins every member in turn; false as soon as one is refused.
bool JoinAll(std::vector<LoopbackMember>& members, int port);

// Latencies in 10 µs steps up to 10 s, in memory fixed at construction, so
// that recording millions of them leaves the process's memory flat.
class LatencyHistogram {
 public:
  LatencyHistogram();
  void Add(double us);
  std::uint64_t Count() const { return count_; }
  // The value at quantile p in [0, 1] (the upper edge of its step), in µs.
  double Quantile(double p) const;
  double Max() const { return max_; }

 private:
  std::vector<std::uint32_t> steps_;
  std::uint64_t count_ = 0;
  double max_ = 0;
};

// Members that report at a fixed rate and time the relays they get back.
// Report text: "m<slot>\t<seq>,<sent ns>"; lines from other senders (the
// host's "00:", a flooder's) are read and ignored.
struct ReportingResults {
  LatencyHistogram latency;
  std::uint64_t sentPerMember = 0;
  std::uint64_t expected = 0;  // relays the members of slots 1..8 should have got
  std::uint64_t received = 0;
};
// Runs on the calling thread for `seconds`, then waits up to 10 s for the last relays.
void RunReportingMembers(std::vector<LoopbackMember>& members, double reportsPerSecond, int seconds,
                         ReportingResults& results);

// Removes "--name=value" from argv and returns value, or `fallback`.
long TakeArgument(int& argc, char** argv, std::string_view name, long fallback);

// QApplication on $DISPLAY or a private Xvfb, dialogs answered, then the
// registered benchmarks.
int RunBenchmarks(int argc, char** argv);

}  // namespace crewmap::bench
