#pragma once
// The door of a keyed host: every connection waits here, outside the slots,
// until it has proved the group key. It gets the challenge (a notice line
// that members of every version show), and either proves the key within a
// few seconds and is handed to the host, which gives it a slot, or is let
// go. Nothing of the group reaches it before that: no slot, no "client#", no
// position. Refusals are logged, a few rows a minute at most.
#include <QObject>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "net/key_exchange.h"
#include "net/key_tries.h"
#include "net/peer_rules.h"

class QTcpSocket;
class QTimer;

namespace crewmap::main {

struct GateRules {
  int answerMs = 5000;     // a peer has this long to prove the key
  std::size_t waiting = 64;  // connections at the door at once; more are held
  // A connection from a source without tries left waits this long for its
  // answer; at most `held` wait at once, more are dropped at once.
  int holdMs = 2000;
  std::size_t held = 64;
  net::KeyTryRule tries;
  net::KeyLogRule log;
};

struct GateView {
  std::function<void(const std::string& utf8Row)> appendLog;
  // A peer proved the key: its connection waits under `requestID` for the
  // host to accept it; one it leaves is closed.
  std::function<void(qintptr requestID)> proved;
};

class HostGate : public QObject {
 public:
  HostGate(net::ConnectionThrottle& throttle, GateRules rules, GateView view, QObject* parent = nullptr);
  ~HostGate() override;

  // The key asked for from now on; nothing opens the door. Connections at
  // the door are dropped either way (they would prove the old key).
  void SetKey(std::optional<net::GroupKey> key);
  const std::optional<net::GroupKey>& Key() const { return key_; }
  // Takes in the connection announced under `requestID`.
  void Take(qintptr requestID);
  std::size_t Waiting() const { return visitors_.size(); }

 private:
  struct Visitor {
    std::string address;
    net::HostKeyCheck check;
    QTimer* deadline;
  };
  void Hold(QTcpSocket* socket, const std::string& address);
  void Read(QTcpSocket* socket);
  // The peer closed or broke the connection before proving anything.
  void Gone(QTcpSocket* socket);
  // Turns the peer away: `reply` (wire bytes, may be empty) goes out, the
  // connection closes, and the refusal is logged as `row`.
  void LetGo(QTcpSocket* socket, const std::string& address, const std::string& reply, std::string_view row);
  // One row for a refusal, when the log's limits let it.
  void Logged(const std::string& address, std::string_view row);
  // Out of the door's hands (the deadline and its signals), still open.
  void Forget(QTcpSocket* socket);
  void HandOver(QTcpSocket* socket);

  net::ConnectionThrottle& throttle_;
  GateRules rules_;
  GateView view_;
  std::optional<net::GroupKey> key_;
  net::KeyTries tries_;
  std::map<QTcpSocket*, Visitor> visitors_;
  std::set<QTcpSocket*> held_;  // waiting for a slow answer
};

}  // namespace crewmap::main
