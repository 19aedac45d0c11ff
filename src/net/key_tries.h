#pragma once
// How often a source may try the group key, and how often the host's log
// says that it turned someone away. Plain rules over times passed in (ms).
//
// A source is an IPv4 address, or an IPv6 /64 (a home line holds a whole
// /64 and can take a new address in it for every connection).
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace crewmap::net {

struct KeyTryRule {
  // A source starts with `burst` tries and gets one more every `refillMs`
  // (a few a minute): a member that reconnects is never held up, a guesser
  // gets a handful of guesses a minute.
  int burst = 4;
  std::int64_t refillMs = 15000;
  // After this many wrong answers in a row, the source waits `lockMs`
  // before its next try, twice as long after each further wrong answer, up
  // to `longestLockMs`. A right answer starts the count again.
  int freeFailures = 3;
  std::int64_t lockMs = 60000;
  std::int64_t longestLockMs = 3600000;
  // Sources remembered at most; the least recently seen are forgotten first.
  std::size_t sources = 1024;
};

struct KeyLogRule {
  // One row per source per `perSourceMs`, and at most `rows` rows per
  // `windowMs` in all: a scan from many addresses costs a few rows a minute.
  std::int64_t perSourceMs = 60000;
  int rows = 5;
  std::int64_t windowMs = 60000;
};

class KeyTries {
 public:
  explicit KeyTries(KeyTryRule rule = {}, KeyLogRule log = {}) : rule_(rule), log_(log) {}

  // A connection from `address` wants to try: true (and one try is spent)
  // when the source may.
  bool MayTry(const std::string& address, std::int64_t nowMs);
  // The try ended: the key was proved (its try is given back, the count of
  // wrong answers starts again), or a wrong answer came.
  void Proved(const std::string& address, std::int64_t nowMs);
  void Failed(const std::string& address, std::int64_t nowMs);

  // A connection from `address` was turned away: the number of refusals
  // left out of the log since the last row when this one gets a row, else
  // nothing.
  std::optional<int> LogRefusal(const std::string& address, std::int64_t nowMs);

  std::size_t Remembered() const { return sources_.size(); }

 private:
  struct Source {
    double tries = 0;
    std::int64_t refilledMs = 0;
    int failures = 0;
    std::int64_t lockedUntilMs = 0;
    std::int64_t loggedMs = -1;
    std::int64_t seenMs = 0;
  };
  Source& Find(const std::string& address, std::int64_t nowMs);

  KeyTryRule rule_;
  KeyLogRule log_;
  std::map<std::string, Source> sources_;
  std::int64_t windowStartMs_ = -1;
  int rowsInWindow_ = 0;
  int unlogged_ = 0;
};

}  // namespace crewmap::net
