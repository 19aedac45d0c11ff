#include "main/member_side.h"

#include <QElapsedTimer>
#include <QTimer>

#include "common/steady_ms.h"
#include "main/member_session.h"
#include "main/silent_rows.h"
#include "main/slot_rows.h"
#include "net/host_port.h"
#include "net/key_lines.h"
#include "net/meeting_point.h"
#include "net/messages.h"
#include "net/winsock.h"
#include "net/wire_text.h"
#include "startup/log_lines.h"

namespace crewmap::main {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The status box.
const QString kNotConnected = QStringLiteral("未接続");
const QString kConnecting = QStringLiteral("サーバに接続中．．．");
const QString kConnected = QStringLiteral("接続完了");
const QString kTimedOut = QStringLiteral("タイムアウトしました");
const QString kCannotConnect = QStringLiteral("サーバに接続できません");

// While trying again: which retry is under way or comes next, and whether
// the host turned the member away as full.
QString RetryStatus(int retry, bool hostFull) {
  return (hostFull ? QStringLiteral("サーバが満員です　") : QString()) +
         QStringLiteral("再接続中…（%1回目）").arg(retry);
}

// The activity log's rows when trying starts and ends.
constexpr const char* kLostRow = "サーバとの接続が切れました。自動で再接続します";
constexpr const char* kFullRow = "サーバが満員です。空きができるまで自動で再接続します";
constexpr const char* kBackRow = "再接続しました";
constexpr const char* kStoppedRow = "再接続を中止しました";
constexpr const char* kAddressRow = "アドレスが変わったため、再接続を中止しました";
constexpr const char* kGaveUpRow = "再接続できませんでした。もう一度「接続」を押してください";
constexpr const char* kUnheardRow = "このサーバは集合地点の提案を受け付けません";
constexpr const char* kNoPositionRow = "座標を読み取れていないため、集合地点の提案を送れません";

}  // namespace

MemberSide::MemberSide(net::Winsock* socket, net::SlotTable& table, std::int16_t& mySlot, MemberTimes times,
                       MemberView view)
    : socket_(socket), Slots(table), MySlot(mySlot), times_(times), view_(std::move(view)) {
  retryTimer_ = std::make_unique<QTimer>();
  retryTimer_->setSingleShot(true);
  QObject::connect(retryTimer_.get(), &QTimer::timeout, [this] { Retry(); });
  attemptTimer_ = std::make_unique<QTimer>();
  attemptTimer_->setSingleShot(true);
  QObject::connect(attemptTimer_.get(), &QTimer::timeout, [this] { AttemptTimedOut(); });
  steadyTimer_ = std::make_unique<QTimer>();
  steadyTimer_->setSingleShot(true);
  QObject::connect(steadyTimer_.get(), &QTimer::timeout, [this] {
    retrying_ = false;
    rejoined_ = false;
  });
}

MemberSide::~MemberSide() = default;

void MemberSide::Start() {
  // The outgoing connection takes any free local port.
  socket_->SetLocalPort(0);
  view_.setStatus(kNotConnected);
}

void MemberSide::ShowIdle(const QString& status) {
  view_.setStatus(status);
  view_.setButton(true, ConnectCaption());
}

// ---------------------------------------------------------------- the user's attempt

void MemberSide::ButtonPressed(const QString& address) {
  if (retrying_ && !rejoined_) {
    // "中止": the user ends the retries.
    socket_->Close();
    established_ = false;
    EndRetrying(kStoppedRow);
    ShowIdle(kNotConnected);
    return;
  }
  view_.setButton(false, ConnectCaption());
  Connect(address);

  QElapsedTimer clock;
  clock.start();
  view_.setStatus(kConnecting);
  waiting_ = true;
  view_.wait(0);
  while (!view_.unloaded() && socket_->State() == net::SocketState::Connecting) {
    view_.wait(10);
    if (view_.unloaded()) break;
    if (clock.elapsed() > times_.connectTimeoutMs) {
      socket_->Close();
      ShowIdle(kTimedOut);
      break;
    }
  }
  waiting_ = false;
  if (view_.unloaded()) return;
  if (socket_->State() == net::SocketState::Error) {
    socket_->Close();
    ShowIdle(kCannotConnect);
  }
}

void MemberSide::Connect(const QString& address) {
  address_ = address;
  established_ = false;
  refused_ = false;
  toldUnheard_ = false;
  // A proposal carries only a position read on this connection.
  presentPosition_.clear();
  receiver_.Reset();
  // The text a keyed host passes on carries the key after the address.
  const net::ShareParts typed = net::SplitShareText(address.toStdString());
  keyCheck_.Begin(KeyFor(typed.key));
  // "address", "address:port", "[IPv6]" or "[IPv6]:port"; a malformed entry
  // leaves no host, and the attempt fails like an unknown one.
  const auto target = net::ParseHostPort(typed.address, times_.port);
  socket_->SetRemoteHost(target ? FromUtf8(target->host) : QString());
  socket_->SetRemotePort(target ? target->port : times_.port);
  socket_->Connect();
}

void MemberSide::Connected() {
  established_ = true;
  connectedAtMs_ = SteadyNowMs();
  attemptTimer_->stop();
  view_.setStatus(keyCheck_.Keyed() ? ProvingStatus() : kConnected);
  view_.setButton(false, ConnectCaption());
}

// ---------------------------------------------------------------- what the host sends

void MemberSide::DataArrival() {
  const QByteArray data = socket_->GetData();
  const std::vector<std::string> pieces =
      receiver_.Feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  // The member list is rebuilt once per arrival, in the form the last line
  // that changed it asks for: a burst of relays costs one rebuild, not one
  // per line, and the list ends up the same.
  std::optional<RowForm> rows;
  const std::int64_t now = SteadyNowMs();
  for (const std::string& piece : pieces) {
    if (KeyStep(piece)) {
      if (!established_) return;  // the exchange ended the connection
      continue;
    }
    const std::int16_t previousSlot = MySlot;
    const MemberEffect effect = ApplyMemberPiece(Slots, MySlot, piece, now);
    if (!effect.logLine.empty()) {
      const bool full = effect.logLine == net::kHostFullNotice;
      if (full) refused_ = true;
      // While a full host is tried again its notice tells nothing new (the
      // status box counts the tries), and 60 copies would push every other
      // row out of the log.
      if (!(full && retrying_)) view_.appendLog(effect.logLine);
    }
    if (effect.rows) rows = effect.rows;
    if (effect.assigned) Joined(previousSlot);
    if (effect.meeting.kind == net::MeetingNoticeKind::Point) view_.meetingPoint(effect.meeting.point);
    if (effect.meeting.kind == net::MeetingNoticeKind::Cleared) view_.meetingPoint(std::nullopt);
    if (effect.proposalUnheard && !toldUnheard_) {
      toldUnheard_ = true;
      view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), kUnheardRow));
    }
  }
  if (rows) view_.showRows(BuildMemberRows(Slots, 8, *rows));
}

void MemberSide::Joined(std::int16_t previousSlot) {
  // The rows of members still there stay (the host relays them when it can:
  // a member whose capture fails is never relayed); those the host no longer
  // has go unheard and are dropped in time (ForgetSilentRows). Only this
  // member's own row under its old number is known to be stale now.
  if (previousSlot >= 1 && previousSlot != MySlot) Slots[static_cast<std::size_t>(previousSlot)] = net::Slot{};
  // A meeting point is the host's to tell: it does so right after this line
  // if one is shared, so none held from before (cleared during an outage,
  // or another host's) outlives the join.
  view_.meetingPoint(std::nullopt);
  if (retrying_ && !rejoined_) {
    rejoined_ = true;
    retryTimer_->stop();
    attemptTimer_->stop();
    view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), kBackRow));
    steadyTimer_->start(times_.steadyMs);
  }
}

void MemberSide::Reading(const std::string& nick, const std::optional<std::string>& position) {
  presentPosition_ = position.value_or(std::string());
  if (position) {
    ownEntry_.Nick = nick;
    ownEntry_.Point = *position;
    if (!position->empty()) ownEntry_.PointAtMs = SteadyNowMs();
  }
  if (socket_->State() != net::SocketState::Connected) return;
  if (!position) {
    SendBlankLine();
    return;
  }
  // A keyed connection sends nothing until the host has proved the key.
  if (!keyCheck_.MaySend()) return;
  const std::string line = net::BuildPositionReport(net::EncodeWireText(nick), *position);
  socket_->SendData(QByteArray(line.data(), static_cast<qsizetype>(line.size())), net::Traffic::Position, MySlot);
}

net::SlotTable MemberSide::Shown() const {
  net::SlotTable shown = Slots;
  if (socket_->State() != net::SocketState::Connected && MySlot >= 0 && MySlot <= net::kHighestSocket)
    shown[static_cast<std::size_t>(MySlot)] = ownEntry_;
  return shown;
}

void MemberSide::ForgetSilentRows() {
  // Rows heard on the present connection stay until the host says they left.
  const bool connected = established_ && socket_->State() == net::SocketState::Connected;
  if (DropSilentRows(Slots, connected ? std::optional(connectedAtMs_) : std::nullopt, SteadyNowMs(), kSilentRowMs) > 0)
    view_.showRows(BuildMemberRows(Slots, 8, RowForm::Full));
}

bool MemberSide::ProposeMeetingPoint(std::optional<GamePoint> point, const std::string& nick) {
  if (socket_->State() != net::SocketState::Connected || !keyCheck_.MaySend()) return false;
  // The proposal rides on a report, which a host without proposals relays
  // as one: an old position would reach every member as fresh.
  if (presentPosition_.empty()) {
    view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), kNoPositionRow));
    return false;
  }
  const std::string line = net::BuildMeetingProposal(nick + "\t" + presentPosition_, point);
  // Control: a later report must not replace it before it has gone.
  socket_->SendData(QByteArray(line.data(), static_cast<qsizetype>(line.size())), net::Traffic::Control);
  return true;
}

void MemberSide::SendBlankLine() {
  if (!keyCheck_.MaySend()) return;
  socket_->SendData(QByteArray(net::kLineEnd.data(), static_cast<qsizetype>(net::kLineEnd.size())),
                    net::Traffic::Position, net::kBlankLineSender);
}

// ---------------------------------------------------------------- losing the host and finding it again

void MemberSide::Closed() {
  if (established_) Lost();
}

void MemberSide::Failed() {
  if (established_) {
    Lost();  // a broken connection (the host gone, a reset) ends like a close
  } else if (retrying_ && !waiting_) {
    attemptTimer_->stop();  // a retry failed: the next one follows the schedule
    socket_->Close();
    lastRefused_ = false;
    ScheduleRetry();
  }
  // A failure of the user's own attempt is handled by the attempt.
}

void MemberSide::Lost() {
  established_ = false;
  socket_->Close();
  if (view_.unloaded()) return;
  lastRefused_ = refused_;
  if (!retrying_) {
    retrying_ = true;
    retries_ = 0;
    sinceLoss_.start();
    view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), refused_ ? kFullRow : kLostRow));
  }
  // A rejoin that did not last: the same run of retries goes on.
  rejoined_ = false;
  steadyTimer_->stop();
  ScheduleRetry();
}

void MemberSide::ScheduleRetry() {
  const std::optional<std::int64_t> delay = RetryDelayMs(times_.retry, retries_ + 1, sinceLoss_.elapsed());
  if (!delay) {
    EndRetrying(kGaveUpRow);
    ShowIdle(kNotConnected);
    return;
  }
  view_.setStatus(RetryStatus(retries_ + 1, lastRefused_));
  view_.setButton(true, StopCaption());
  retryTimer_->start(static_cast<int>(*delay));
}

void MemberSide::Retry() {
  if (!retrying_ || view_.unloaded()) return;
  ++retries_;
  Connect(address_);
  attemptTimer_->start(times_.connectTimeoutMs);
}

void MemberSide::AttemptTimedOut() {
  if (!retrying_ || socket_->State() != net::SocketState::Connecting) return;
  socket_->Close();
  lastRefused_ = false;
  ScheduleRetry();
}

void MemberSide::AddressChanged(const QString& address) {
  if (!retrying_ || established_ || address == address_) return;
  socket_->Close();
  EndRetrying(kAddressRow);
  ShowIdle(kNotConnected);
}

void MemberSide::EndRetrying(const char* row) {
  retrying_ = false;
  rejoined_ = false;
  retryTimer_->stop();
  attemptTimer_->stop();
  steadyTimer_->stop();
  view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), row));
}

void MemberSide::Stop() {
  retrying_ = false;
  rejoined_ = false;
  retryTimer_->stop();
  attemptTimer_->stop();
  steadyTimer_->stop();
}

}  // namespace crewmap::main
