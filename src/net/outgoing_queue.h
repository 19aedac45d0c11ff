#pragma once
// What waits to go out on one connection, and when a peer counts as stalled.
// Plain rules over lines and numbers the socket reports, so they are tested
// without sockets.
//
// Positions are state, not a stream: of each sender's position lines only the
// newest unsent one is worth sending, so a newer one replaces it. Control
// lines ("client#", "disconn") happen once and must arrive, in their order
// relative to each sender's positions. What one connection holds is thus
// bounded by construction (one position per sender plus a few control lines),
// however fast anyone sends.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace crewmap::net {

enum class Traffic {
  Position,  // the sender's newest position supersedes its older ones
  Control,   // sent once, never dropped
  Leave,     // a leave notice: control, but a repeat with nothing about its slot in between is folded
};

struct QueueBounds {
  // Lines are handed to the socket while it holds fewer unsent bytes than
  // this; the rest waits in the queue, where newer positions replace older
  // ones. One longest line fits, so a long line never waits for an empty
  // socket.
  std::size_t handOffBytes = 4096;
  // A peer that takes no byte at all for this long while something waits for
  // it is cut off. 90 s: more than twice a 40 s pause (a frozen window, a
  // modal dialog) under a flood, and far beyond TCP's first retransmissions;
  // short enough that a dead member's slot comes back.
  std::int64_t graceMs = 90000;
};

class OutgoingQueue {
 public:
  explicit OutgoingQueue(QueueBounds bounds = {}) : bounds_(bounds) {}

  const QueueBounds& Bounds() const { return bounds_; }

  // Adds a line. `slot` is the sender of a position, or the slot a control
  // line is about (-1: none).
  void Push(Traffic kind, int slot, std::string line);
  bool Empty() const { return lines_.empty(); }
  std::size_t Lines() const { return lines_.size(); }
  std::size_t Bytes() const { return bytes_; }
  // The oldest line, taken out.
  std::string Pop();
  // Whether another line may go to a socket holding `unsent` bytes.
  bool MayHandOff(std::size_t unsent) const { return !lines_.empty() && unsent < bounds_.handOffBytes; }

  // Records, at `nowMs`, whether anything waits for the peer and whether it
  // took bytes since the last call. Returns the milliseconds left before the
  // peer counts as stalled (0: stalled now), or -1 while nothing waits.
  std::int64_t Observe(bool waiting, bool progressed, std::int64_t nowMs);

  // Forgets lines and history (a new connection).
  void Reset();

 private:
  struct Entry {
    Traffic kind;
    int slot;
    std::string line;
  };
  // Index of the last entry about `slot`, or -1.
  std::ptrdiff_t LastAbout(int slot) const;
  void Erase(std::size_t at);

  QueueBounds bounds_;
  std::deque<Entry> lines_;
  std::size_t bytes_ = 0;
  std::int64_t waitingSinceMs_ = -1;  // when the peer last took bytes while something waited
};

}  // namespace crewmap::net
