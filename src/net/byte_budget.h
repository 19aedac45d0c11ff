#pragma once
// How many bytes a peer may hand us per second. A sender over its budget is
// simply not read until the budget has refilled: its bytes wait in the
// system's buffers and TCP slows the sender down, so a flood costs the
// reader no work. Time is passed in, in milliseconds.
#include <cstdint>

namespace crewmap::net {

struct ByteRate {
  // Bytes per second in the long run; 0: no limit.
  std::int64_t perSecond = 0;
  // Bytes allowed at once after a quiet spell.
  std::int64_t burst = 0;
};

// What the host reads from one member: a report is some 30 bytes a second,
// the longest one (a 2,000-character nickname) about 4 KB; 8 KB a second
// takes the longest report twice a second, and a burst of 32 KB a member
// catching up after a stall.
inline constexpr ByteRate kMemberReadRate{8192, 32768};
// What a member reads from its host: at most ten senders' positions a second
// (40 KB with the longest nicknames) and the control lines; four times that.
inline constexpr ByteRate kHostReadRate{163840, 262144};

// A token bucket in bytes.
class ByteBudget {
 public:
  explicit ByteBudget(ByteRate rate = {}) : rate_(rate), tokens_(rate.burst) {}

  bool Limited() const { return rate_.perSecond > 0; }
  // Bytes that may be taken now (a large number when not limited).
  std::int64_t Available(std::int64_t nowMs);
  // Counts `bytes` as taken (may go below zero: a debt paid back first).
  void Take(std::int64_t bytes) { tokens_ -= bytes; }
  // Milliseconds until at least `bytes` are available (0: now).
  std::int64_t MsUntil(std::int64_t bytes, std::int64_t nowMs);
  // Full again (a new connection).
  void Reset();

 private:
  void Refill(std::int64_t nowMs);

  ByteRate rate_;
  std::int64_t tokens_;
  std::int64_t lastMs_ = -1;
  std::int64_t carryMilli_ = 0;  // thousandths of a byte earned but not yet whole
};

}  // namespace crewmap::net
