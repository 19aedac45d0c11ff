#pragma once
// The group-key exchange on one connection, apart from the sockets: what
// each side sends and decides for each line it receives. The line forms are
// in key_lines.h.
//
// The member proves the key first and the host only after it has checked
// that proof, so a stranger never gets a proof made with the key; both
// proofs cover both sides' fresh nonces, so no recorded line fits another
// connection.
#include <optional>
#include <string>
#include <string_view>

#include "net/group_key.h"

namespace crewmap::net {

// ---------------------------------------------------------------- host side

enum class HostKeyVerdict {
  Waiting,   // nothing decided yet (a blank line)
  Proved,    // the peer proved the key: send `reply`, then take it in
  WrongKey,  // an answer made with another key: send `reply`, let go
  NoAnswer,  // anything else (a report, a stranger's bytes): let go
};

struct HostKeyStep {
  HostKeyVerdict verdict = HostKeyVerdict::Waiting;
  std::string reply;  // wire bytes with CR LF; empty: nothing to send
};

class HostKeyCheck {
 public:
  // A new connection: a fresh nonce and the challenge that carries it.
  explicit HostKeyCheck(GroupKey key);
  const std::string& Challenge() const { return challenge_; }
  // One received piece (without CR LF). After a verdict other than
  // Waiting, every later piece is NoAnswer.
  HostKeyStep Piece(std::string_view piece);

 private:
  static constexpr int kBlankLines = 8;
  GroupKey key_;
  std::string nonce_;
  std::string challenge_;
  int blanks_ = 0;
  bool decided_ = false;
};

// ---------------------------------------------------------------- member side

enum class MemberKeyVerdict {
  Pass,             // an ordinary line: handle it as always
  Held,             // a line of the exchange: nothing more to do
  Answer,           // send `reply` to the host
  Joined,           // the host proved the key: from now on lines pass and reports go
  WrongKey,         // the host has another key (or says ours is wrong)
  HostCannotProve,  // the member has a key and the host does not ask for it
  KeyNeeded,        // the host asks for a key and the member has none
};

struct MemberKeyStep {
  MemberKeyVerdict verdict = MemberKeyVerdict::Pass;
  std::string reply;  // Answer: wire bytes with CR LF
};

class MemberKeyCheck {
 public:
  // A new connection, with the group key or without one.
  void Begin(std::optional<GroupKey> key);
  MemberKeyStep Piece(std::string_view piece);
  bool Keyed() const { return key_.has_value(); }
  // Whether the member may send its position: always without a key, with
  // one only once the host has proved it.
  bool MaySend() const { return !key_ || state_ == State::Joined; }

 private:
  enum class State { Waiting, Answered, Joined, Stopped };
  MemberKeyStep Stop(MemberKeyVerdict verdict);

  std::optional<GroupKey> key_;
  State state_ = State::Waiting;
  std::string hostNonce_;
  std::string memberNonce_;
};

}  // namespace crewmap::net
