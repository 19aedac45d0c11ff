#pragma once
// The host's connection handling: the listener, acceptances, the reports
// that arrive and their relays, departures, and the host's own position going
// out. The window keeps the widgets; it hands this unit its sockets and slot
// table and shows what it is told through HostView.
#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main/host_gate.h"
#include "net/line_receiver.h"
#include "net/meeting_point.h"
#include "net/outgoing_queue.h"
#include "net/peer_rules.h"
#include "net/relay_budget.h"
#include "common/game_point.h"
#include "net/slots.h"

class QTimer;

namespace crewmap::net {
class Winsock;
}

namespace crewmap::main {

enum class SlotLight { Free, Listening, Connected };

// What the window does for the host side.
struct HostView {
  std::function<void(int n, SlotLight light)> setIndicator;
  std::function<void(const std::string& utf8)> appendLog;
  std::function<void(const std::vector<std::string>& rows)> showRows;
  std::function<void(int port)> listenFailed;  // another program holds the port
  std::function<bool()> unloaded;               // the window is going: no new listener
  // A member's proposal changed the group's meeting point (nothing: cleared).
  std::function<void(std::optional<GamePoint> point)> meetingPoint;
};

// The host's limits on what one peer may do.
struct HostRules {
  net::RelayRate relayRate;    // relays per member per second
  net::PeerTimes peerTimes;    // silent peers
  net::ThrottleRule throttle;  // repeated connections from one address
};

using SocketArray = std::array<net::Winsock*, net::kHighestSocket + 1>;  // [1]..[9]

class HostSide {
 public:
  // The longest report the host takes: its relay, with the two-digit slot and
  // ":" in front, must still fit what a member accepts.
  static constexpr std::size_t kMaxReport = net::LineReceiver::kMaxReport;

  HostSide(const SocketArray& sockets, net::SlotTable& table, int port, HostRules rules, HostView view);
  ~HostSide();

  // Slot 1 listens (at load).
  void Start();
  void ConnectionRequest(int n, qintptr requestID);
  // The group key ("": none). With one, every connection must prove it
  // before it gets a slot; a new key lets go the members that have not
  // proved it. Said in one row when it changes.
  void SetKey(const std::string& utf8);
  bool Keyed() const { return gate_->Key().has_value(); }
  void DataArrival(int n);
  // The connection of slot n ended (close or error).
  void ConnectionEnded(int n);
  // The host position line to every connected member of slots 1..8.
  void SendHostPosition(const QByteArray& line);
  // A blank line to the same members on a tick whose capture failed: it
  // shows them the host is still there, and every member skips it.
  void SendBlankLine();
  // Shares the group's meeting point with every connected member at once,
  // and with each member that joins later, right after its slot assignment;
  // nothing clears it (a clearing notice goes out and the point is forgotten).
  void ShareMeetingPoint(std::optional<GamePoint> point);
  const std::optional<GamePoint>& MeetingPoint() const { return meetingPoint_; }

  bool Occupied(int n) const { return occupied_[static_cast<std::size_t>(n)]; }
  // Reports stored but not relayed because their sender was over its budget.
  std::uint64_t RelaysOverBudget() const { return relaysOverBudget_; }

 private:
  void StartListening(int n);
  // Accepts on socket n the connection under `requestID` (one that proved
  // the key skips the check for addresses that keep reconnecting: the door
  // made it).
  void Accept(int n, qintptr requestID, bool proved);
  // A connection proved the key at the door: the listening socket takes it.
  void Proved(qintptr requestID);
  void Refuse(qintptr requestID);
  // Closes, as departures, the connections that do not take part.
  void CheckPeers();
  // Makes the first free slot of 1..8 listen when none of them does.
  void ListenAgainIfFree();
  void Departure(int n);
  // A member proposed a meeting point (or clearing it): it becomes the
  // group's, announced with a notice naming the proposer.
  void Proposed(const net::MeetingProposal& proposal);
  int ListenerChoice(bool afterAcceptance) const;
  // `line` to every connected member of slots 1..8.
  void SendToMembers(const QByteArray& line, net::Traffic kind, int sender);

  SocketArray sockets_;
  net::SlotTable& Slots;
  int port_;
  HostView view_;
  std::array<net::LineReceiver, net::kHighestSocket + 1> receivers_;
  std::array<net::RelayBudget, net::kHighestSocket + 1> budgets_;
  std::array<bool, net::kHighestSocket + 1> occupied_{};  // a member holds slot n
  std::uint64_t relaysOverBudget_ = 0;
  bool cannotListen_ = false;  // the last attempt to listen failed
  std::array<net::PeerWatch, net::kHighestSocket + 1> watches_;
  net::ConnectionThrottle throttle_;
  std::unique_ptr<QTimer> watchTimer_;
  std::unique_ptr<net::Winsock> refuser_;  // tells a connection past slot 8 that the group is full
  std::optional<GamePoint> meetingPoint_;  // shared, and told to each member that joins
  std::unique_ptr<HostGate> gate_;
  std::uint64_t keyGeneration_ = 1;  // counts the keys set
  std::array<std::uint64_t, net::kHighestSocket + 1> provedKey_{};  // the key a member proved (0: none)
};

}  // namespace crewmap::main
