#include "net/router_rules.h"

#include <algorithm>

namespace crewmap::net {
namespace {

constexpr int kBlock = 4096;
constexpr int kRun = 16;
constexpr int kRunsPerBlock = kBlock / kRun;
constexpr int kRetrySeconds = 60;

}  // namespace

std::vector<int> PortSearchOrder(int port, const std::vector<int>& hints) {
  const int offset = port % kRun;
  const int ownRun = (port % kBlock) / kRun;
  int block = port / kBlock;
  // In block 0 no run is taken by `port` itself: block 1 is searched whole.
  const int first = block == 0 ? 0 : 1;
  if (block == 0) block = 1;
  std::vector<int> runs;
  for (const int hint : hints) {
    const int run = (hint % kBlock) / kRun;
    if (hint > 0 && hint <= 65535 && (first == 0 || run != ownRun) &&
        std::find(runs.begin(), runs.end(), run) == runs.end())
      runs.push_back(run);
  }
  for (int i = first; i < kRunsPerBlock; ++i) {
    const int run = (ownRun + i) % kRunsPerBlock;
    if (std::find(runs.begin(), runs.end(), run) == runs.end()) runs.push_back(run);
  }
  std::vector<int> order;
  order.reserve(runs.size());
  for (const int run : runs) order.push_back(block * kBlock + run * kRun + offset);
  return order;
}

int MapEPortHint(const std::array<unsigned char, 16>& ipv6) { return kBlock + ipv6[6] * kRun; }

int SecondsUntilRenewal(int leaseSeconds, bool anythingLeased, bool lastRenewalRefused) {
  if (!anythingLeased) return 0;
  const int half = std::max(1, leaseSeconds / 2);
  return lastRenewalRefused ? std::min(kRetrySeconds, half) : half;
}

bool RefusalDependsOnPort(int code) { return code == 606 || code == 718 || code == 729; }

int SecondsUntilCheck(int intervalSeconds, bool lastCheckAnswered) {
  const int interval = std::max(1, intervalSeconds);
  return lastCheckAnswered ? interval : std::min(interval, kQuickCheckSeconds);
}

}  // namespace crewmap::net
