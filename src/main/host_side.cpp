#include "main/host_side.h"

#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>

#include "common/steady_ms.h"
#include "main/host_session.h"
#include "main/listener_choice.h"
#include "main/slot_rows.h"
#include "net/classify.h"
#include "net/meeting_point.h"
#include "net/messages.h"
#include "net/winsock.h"
#include "net/wire_text.h"
#include "startup/log_lines.h"

namespace crewmap::main {
namespace {

QByteArray ToBytes(const std::string& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

HostSide::HostSide(const SocketArray& sockets, net::SlotTable& table, int port, HostRules rules, HostView view)
    : sockets_(sockets), Slots(table), port_(port), view_(std::move(view)), throttle_(rules.throttle) {
  receivers_.fill(net::LineReceiver(kMaxReport));
  budgets_.fill(net::RelayBudget(rules.relayRate));
  watches_.fill(net::PeerWatch(rules.peerTimes));
  watchTimer_ = std::make_unique<QTimer>();
  watchTimer_->setInterval(std::clamp<std::int64_t>(rules.peerTimes.firstLineMs / 4, 20, 1000));
  QObject::connect(watchTimer_.get(), &QTimer::timeout, [this] { CheckPeers(); });
  gate_ = std::make_unique<HostGate>(throttle_, GateRules{},
                                     GateView{view_.appendLog, [this](qintptr id) { Proved(id); }});
}

HostSide::~HostSide() = default;

void HostSide::Start() {
  for (int n = 1; n <= net::kHighestSocket; ++n) sockets_[static_cast<std::size_t>(n)]->Close();
  StartListening(1);
  watchTimer_->start();
}

void HostSide::StartListening(int n) {
  net::Winsock* socket = sockets_[static_cast<std::size_t>(n)];
  socket->SetLocalPort(port_);
  socket->Listen();
  if (socket->State() != net::SocketState::Listening) {
    // Members cannot join this run until the port is free.
    cannotListen_ = true;
    view_.setIndicator(n, SlotLight::Free);
    view_.listenFailed(port_);
    return;
  }
  // Socket 9 listens only to refuse: its slot shows as free.
  cannotListen_ = false;
  view_.setIndicator(n, n == kRefusingSocket ? SlotLight::Free : SlotLight::Listening);
}

int HostSide::ListenerChoice(bool afterAcceptance) const {
  SocketStates states{};
  for (int n = 1; n <= net::kHighestSocket; ++n)
    states[static_cast<std::size_t>(n)] = static_cast<int>(sockets_[static_cast<std::size_t>(n)]->State());
  return afterAcceptance ? ListenerAfterAcceptance(states) : ListenerAfterDeparture(states);
}

void HostSide::ConnectionRequest(int n, qintptr requestID) {
  if (Keyed()) {
    // Every connection proves the key at the door first; the listener
    // goes on listening meanwhile.
    gate_->Take(requestID);
    return;
  }
  if (n == kRefusingSocket) {
    Refuse(requestID);
    return;
  }
  Accept(n, requestID, false);
}

void HostSide::Proved(qintptr requestID) {
  if (view_.unloaded()) return;
  for (int n = 1; n <= net::kHighestSocket; ++n) {
    if (sockets_[static_cast<std::size_t>(n)]->State() != net::SocketState::Listening) continue;
    if (n == kRefusingSocket)
      Refuse(requestID);
    else
      Accept(n, requestID, true);
    return;
  }
}

void HostSide::SetKey(const std::string& utf8) {
  const auto& before = gate_->Key();
  if (net::NormalizeKey(utf8) == (before ? before->Text() : std::string())) return;
  std::optional<net::GroupKey> key = net::GroupKey::Stretch(utf8);
  const bool keyed = key.has_value();
  gate_->SetKey(std::move(key));
  ++keyGeneration_;
  view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), keyed ? "合言葉を設定しました。参加には合言葉が必要です"
                                                                        : "合言葉を外しました。だれでも参加できます"));
  if (!keyed) return;
  // A new lock keeps out whoever got in without this key.
  for (int n = 1; n <= net::kHighestSocket; ++n)
    if (occupied_[static_cast<std::size_t>(n)] && provedKey_[static_cast<std::size_t>(n)] != keyGeneration_)
      Departure(n);
}

void HostSide::Accept(int n, qintptr requestID, bool proved) {
  const auto i = static_cast<std::size_t>(n);
  net::Winsock* socket = sockets_[i];
  // 1-2. The listening socket stops listening and takes the connection.
  if (socket->State() != net::SocketState::Closed) socket->Close();
  receivers_[i].Reset();
  budgets_[i].Reset();
  socket->Accept(requestID);
  const std::int64_t now = SteadyNowMs();
  if (!proved && !throttle_.Admit(socket->RemoteHostIP().toStdString(), now)) {
    // An address that keeps reconnecting is turned away for a while, without
    // a log row: the slot listens again as if nothing had happened.
    socket->Abort();
    StartListening(n);
    return;
  }
  occupied_[i] = true;
  provedKey_[i] = proved ? keyGeneration_ : 0;
  watches_[i].Start(now);
  // 3-4. Indicator, then the connection row while the peer is known.
  view_.setIndicator(n, SlotLight::Connected);
  view_.appendLog(startup::ConnectionRow(startup::CurrentTimestamp(), n, socket->RemoteHostIP().toStdString()));
  // 5. The member learns its slot, then the meeting point if one is shared.
  socket->SendData(ToBytes(net::BuildSlotAssignment(n)));
  if (meetingPoint_) socket->SendData(ToBytes(net::BuildMeetingNotice(meetingPoint_)));
  // 6. The next listener: the first closed socket, if any.
  if (view_.unloaded()) return;
  if (const int next = ListenerChoice(true); next != 0) StartListening(next);
}

void HostSide::Refuse(qintptr requestID) {
  // Slots 1..8 are all taken. The newcomer is told so in a notice line,
  // which members of every version show, and the connection is closed; socket
  // 9 goes on listening. One refusal at a time: while the last one is still
  // closing, a request is simply dropped.
  if (!refuser_) refuser_ = std::make_unique<net::Winsock>(net::kHighestSocket + 1);
  if (refuser_->State() != net::SocketState::Closed) return;
  refuser_->Accept(requestID);
  refuser_->SendData(ToBytes(net::EncodeWireText(std::string(net::kHostFullNotice)) + std::string(net::kLineEnd)));
  refuser_->Close();
}

void HostSide::DataArrival(int n) {
  const auto i = static_cast<std::size_t>(n);
  const QByteArray data = sockets_[i]->GetData();
  if (!occupied_[i]) return;
  const std::uint64_t ends = receivers_[i].LineEnds();
  const std::vector<std::string> pieces =
      receivers_[i].Feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  if (receivers_[i].LineEnds() != ends) watches_[i].Line(SteadyNowMs());
  // Every meaningful report is relayed while the member's budget lasts; the
  // slot keeps the latest one, so only the last of this arrival is stored
  // (and the list rebuilt once).
  const std::string* latest = nullptr;
  const std::int64_t now = SteadyNowMs();
  for (const std::string& piece : pieces) {
    if (const auto proposal = net::ParseMeetingProposal(piece)) {
      // Not a position: a proposal is told to everyone as a notice instead,
      // at the pace relays are (every one of them shows in every log).
      if (budgets_[i].Take(now)) Proposed(*proposal);
      continue;
    }
    if (!net::ClassifyHostPiece(piece)) continue;  // a line without meaning: skipped
    latest = &piece;
    if (!budgets_[i].Take(now)) {
      ++relaysOverBudget_;
      continue;
    }
    SendToMembers(ToBytes(net::BuildRelay(n, piece)), net::Traffic::Position, n);
  }
  if (!latest) return;
  StoreHostReport(Slots, n, *latest, now);
  view_.showRows(BuildMemberRows(Slots, 8, RowForm::Full));
}

void HostSide::ConnectionEnded(int n) {
  if (occupied_[static_cast<std::size_t>(n)]) Departure(n);
}

void HostSide::Departure(int n) {
  const auto i = static_cast<std::size_t>(n);
  net::Winsock* socket = sockets_[i];
  occupied_[i] = false;
  // 1. The departure row while the socket still knows its peer.
  view_.appendLog(startup::DepartureRow(startup::CurrentTimestamp(), n, socket->RemoteHostIP().toStdString()));
  // 2-4. Free the slot.
  socket->Close();
  receivers_[i].Reset();
  watches_[i].Stop();
  Slots[i] = net::Slot{};
  view_.setIndicator(n, SlotLight::Free);
  // 5. The short-form list over the whole table.
  view_.showRows(BuildMemberRows(Slots, net::kHighestSocket, RowForm::Short));
  // 6. Tell the members that are still there.
  const QByteArray notice = ToBytes(net::BuildLeaveNotice(n));
  for (int j = 1; j <= net::kHighestSocket; ++j) {
    net::Winsock* peer = sockets_[static_cast<std::size_t>(j)];
    if (peer->State() == net::SocketState::Connected) peer->SendData(notice, net::Traffic::Leave, n);
  }
  // A host whose every slot was taken listens again once one is free.
  ListenAgainIfFree();
}

void HostSide::ListenAgainIfFree() {
  if (view_.unloaded()) return;
  if (const int next = ListenerChoice(false); next != 0) {
    net::Winsock* refusing = sockets_[kRefusingSocket];
    if (refusing->State() == net::SocketState::Listening) refusing->Close();
    StartListening(next);
  }
}

void HostSide::CheckPeers() {
  if (view_.unloaded()) return;
  const std::int64_t now = SteadyNowMs();
  for (int n = 1; n <= kLastServedSocket; ++n)
    if (occupied_[static_cast<std::size_t>(n)] && watches_[static_cast<std::size_t>(n)].Due(now)) Departure(n);
  // A departed member's socket that was still sending its last bytes when
  // the listener was chosen is free by now. (Not when the port itself cannot
  // be listened on: that was said once.)
  if (!cannotListen_) ListenAgainIfFree();
}

void HostSide::SendHostPosition(const QByteArray& line) { SendToMembers(line, net::Traffic::Position, 0); }

void HostSide::SendBlankLine() {
  // Supersedes only an unsent blank line, never the host's unsent position.
  SendToMembers(ToBytes(std::string(net::kLineEnd)), net::Traffic::Position, net::kBlankLineSender);
}

void HostSide::ShareMeetingPoint(std::optional<GamePoint> point) {
  meetingPoint_ = point;
  SendToMembers(ToBytes(net::BuildMeetingNotice(point)), net::Traffic::Control, -1);
}

void HostSide::Proposed(const net::MeetingProposal& proposal) {
  const bool cleared = proposal.notice.kind == net::MeetingNoticeKind::Cleared;
  const std::optional<GamePoint> point = cleared ? std::nullopt : std::optional(proposal.notice.point);
  // Nothing to tell: the point is the one shared, or none is to be cleared.
  if (point == meetingPoint_) return;
  view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), net::DecodeWireText(proposal.nick) +
                                                                      std::string(net::ProposerSuffix(cleared))));
  const std::string naming = net::BuildProposerNotice(proposal.nick, cleared);
  if (!naming.empty()) SendToMembers(ToBytes(naming), net::Traffic::Control, -1);
  ShareMeetingPoint(point);
  if (view_.meetingPoint) view_.meetingPoint(point);
}

void HostSide::SendToMembers(const QByteArray& line, net::Traffic kind, int sender) {
  for (int j = 1; j <= kLastServedSocket; ++j) {
    net::Winsock* socket = sockets_[static_cast<std::size_t>(j)];
    if (socket->State() == net::SocketState::Connected) socket->SendData(line, kind, sender);
  }
}

}  // namespace crewmap::main
