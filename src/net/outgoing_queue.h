#pragma once
// How much one connection may hold unsent, and what happens past that. Plain
// rules over numbers the socket reports, so they are tested without sockets.
#include <cstddef>
#include <cstdint>

namespace crewmap::net {

// Position lines (relays, host positions, reports) come every second and the
// next one supersedes the last; control lines ("client#", "disconn") happen
// once and must arrive.
enum class Traffic { Position, Control };

struct QueueBounds {
  // Unsent bytes at or above which position lines are dropped for this
  // connection. Ten members at one ~30-byte line a second give each
  // connection about 330 bytes a second, so 8 KiB is some 25 s of traffic:
  // anything queued behind that much is stale. It still takes two lines of
  // the longest length.
  std::size_t softBytes = 8192;
  // Unsent bytes that, held without a break for graceMs, mark a peer that
  // has stopped reading. Positions stop at the soft bound, so a stalled peer
  // sits just above it: the hard bound is the same figure, and the grace
  // period tells a stalled peer from a slow one.
  std::size_t hardBytes = 8192;
  // 30 s: several times longer than a link's usual hiccup (TCP's first
  // retransmissions), short enough that a dead member's slot comes back.
  std::int64_t graceMs = 30000;
};

// One per connection.
class OutgoingQueue {
 public:
  explicit OutgoingQueue(QueueBounds bounds = {}) : bounds_(bounds) {}

  const QueueBounds& Bounds() const { return bounds_; }

  // Whether a line of this kind goes out when `unsent` bytes wait already.
  bool Admit(Traffic kind, std::size_t unsent) const {
    return kind == Traffic::Control || unsent < bounds_.softBytes;
  }

  // Records the unsent count at time `nowMs`. Returns the milliseconds left
  // before the peer counts as stalled (0: stalled now), or -1 while the
  // queue is below the hard bound.
  std::int64_t Observe(std::size_t unsent, std::int64_t nowMs);

  // Forgets the history (a new connection).
  void Reset() { overSinceMs_ = -1; }

 private:
  QueueBounds bounds_;
  std::int64_t overSinceMs_ = -1;  // when the queue last rose to the hard bound
};

}  // namespace crewmap::net
