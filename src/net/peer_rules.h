#pragma once
// When the host gives up on a peer that does not take part, and on an
// address that keeps reconnecting. Plain rules over times passed in (ms), so
// they are tested without sockets.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

namespace crewmap::net {

struct PeerTimes {
  // A member sends a line every tick (a report, or a blank line while its
  // capture fails), so its first line comes within a second or two of
  // connecting. 10 s leaves room for a slow start, and a connection that
  // only holds a slot is gone well within 20 s.
  std::int64_t firstLineMs = 10000;
  // Afterwards: members of older versions send nothing while their capture
  // fails ("Lock" on a game window that has closed), which can last minutes.
  std::int64_t silenceMs = 600000;
};

// One per member slot.
class PeerWatch {
 public:
  explicit PeerWatch(PeerTimes times = {}) : times_(times) {}
  // A new connection at `nowMs`.
  void Start(std::int64_t nowMs);
  // The connection has ended: nothing to watch.
  void Stop() { sinceMs_ = -1; }
  // A complete line (of any kind) arrived.
  void Line(std::int64_t nowMs);
  // Whether the connection is to be closed now.
  bool Due(std::int64_t nowMs) const;

 private:
  PeerTimes times_;
  std::int64_t sinceMs_ = -1;  // connection or last line; -1: not watching
  bool anyLine_ = false;
};

struct ThrottleRule {
  // More connections than this from one address within windowMs...
  std::size_t connections = 20;
  std::int64_t windowMs = 10000;
  // ...and it is refused for this long. Twenty in ten seconds is far more
  // than one household's members joining at once (at most eight).
  std::int64_t blockMs = 30000;
  // Addresses remembered at most; the oldest are forgotten first.
  std::size_t addresses = 1024;
};

// Whom a connection is counted against: an IPv4 address itself; an IPv6
// address by its /64 ("a:b:c:d::/64"), since every home line holds a whole
// /64 and a peer can take a new address in it for each connection.
std::string AddressGroup(const std::string& address);

class ConnectionThrottle {
 public:
  explicit ConnectionThrottle(ThrottleRule rule = {}) : rule_(rule) {}
  // Counts a connection from `address` at `nowMs`; false if it is to be
  // refused. IPv6 addresses count by their /64 (a home line's whole prefix).
  bool Admit(const std::string& address, std::int64_t nowMs);
  std::size_t Remembered() const { return seen_.size(); }

 private:
  struct Record {
    std::deque<std::int64_t> times;  // admitted connections within the window
    std::int64_t blockedUntilMs = -1;
    std::int64_t lastMs = 0;
  };
  void Forget(std::int64_t nowMs);

  ThrottleRule rule_;
  std::map<std::string, Record> seen_;
};

}  // namespace crewmap::net
