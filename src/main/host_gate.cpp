#include "main/host_gate.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include "common/steady_ms.h"
#include "net/key_lines.h"
#include "net/pending_connections.h"
#include "startup/log_lines.h"

namespace crewmap::main {
namespace {

// An answer line is about a hundred bytes: a peer holding more than this
// without a line end is sending something else.
constexpr qint64 kReadBound = 1024;
// A closed connection still handing its last line to the system is cut off
// after this long.
constexpr int kCloseGraceMs = 2000;

// The activity log's rows for a connection turned away.
constexpr std::string_view kNoKeyRow = "合言葉のない接続を断りました: ";
constexpr std::string_view kWrongKeyRow = "合言葉が違う接続を断りました: ";
constexpr std::string_view kTooManyRow = "試行が多すぎる接続を断りました: ";

std::string PeerText(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  return (isV4 ? QHostAddress(v4) : address).toString().toStdString();
}

QByteArray Bytes(const std::string& bytes) { return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())); }

// Closes `socket` once what was written has gone, at most kCloseGraceMs later.
void CloseSoon(QTcpSocket* socket) {
  socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState) {
    socket->deleteLater();
    return;
  }
  QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kCloseGraceMs, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
}

}  // namespace

HostGate::HostGate(net::ConnectionThrottle& throttle, GateRules rules, GateView view, QObject* parent)
    : QObject(parent), throttle_(throttle), rules_(rules), view_(std::move(view)), tries_(rules.tries, rules.log) {}

HostGate::~HostGate() = default;  // the sockets at the door are children: they go with it

void HostGate::SetKey(std::optional<net::GroupKey> key) {
  key_ = std::move(key);
  while (!visitors_.empty()) {
    QTcpSocket* socket = visitors_.begin()->first;
    Forget(socket);
    socket->abort();
    socket->deleteLater();
  }
}

void HostGate::Take(qintptr requestID) {
  QTcpSocket* socket = net::PendingConnections::Instance().Take(requestID);
  if (!socket) return;
  socket->setParent(this);
  const std::string address = PeerText(socket->peerAddress());
  const std::int64_t now = SteadyNowMs();
  if (!key_) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  // An address that keeps reconnecting or has used up its tries waits for
  // its answer (the door full too).
  if (!throttle_.Admit(address, now) || visitors_.size() >= rules_.waiting || !tries_.MayTry(address, now)) {
    Hold(socket, address);
    return;
  }
  socket->setReadBufferSize(kReadBound);
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  visitors_.emplace(socket, Visitor{address, net::HostKeyCheck(*key_), deadline});
  connect(deadline, &QTimer::timeout, this, [this, socket, address] { LetGo(socket, address, {}, kNoKeyRow); });
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Gone(socket); });
  connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { Gone(socket); });
  deadline->start(rules_.answerMs);
  socket->write(Bytes(visitors_.at(socket).check.Challenge()));
  // Bytes or a close that came while the connection waited to be taken.
  QMetaObject::invokeMethod(
      this,
      [this, socket] {
        if (visitors_.count(socket) && socket->bytesAvailable() > 0) Read(socket);
        if (visitors_.count(socket) && socket->state() != QAbstractSocket::ConnectedState) Gone(socket);
      },
      Qt::QueuedConnection);
}

void HostGate::Hold(QTcpSocket* socket, const std::string& address) {
  // Answered slowly: a guesser that waits for its answer gets one a hold,
  // and a flood of connections costs a few held sockets instead of one
  // accept after another. Past the bound a connection is dropped at once.
  if (held_.size() >= rules_.held) {
    socket->abort();
    socket->deleteLater();
    Logged(address, kTooManyRow);
    return;
  }
  held_.insert(socket);
  socket->setReadBufferSize(kReadBound);
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
    if (held_.erase(socket)) socket->deleteLater();
  });
  QTimer::singleShot(rules_.holdMs, socket, [this, socket, address] {
    if (!held_.erase(socket)) return;
    disconnect(socket, nullptr, this, nullptr);
    LetGo(socket, address, net::BuildKeyNotice(net::kTooManyTriesNotice), kTooManyRow);
  });
}

void HostGate::Read(QTcpSocket* socket) {
  const auto it = visitors_.find(socket);
  if (it == visitors_.end()) return;
  const std::string address = it->second.address;
  while (socket->canReadLine()) {
    QByteArray line = socket->readLine(kReadBound);
    // Only a whole line ended by CR LF can be an answer.
    if (!line.endsWith("\r\n")) return LetGo(socket, address, {}, kNoKeyRow);
    line.chop(2);
    const net::HostKeyStep step =
        it->second.check.Piece(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    switch (step.verdict) {
      case net::HostKeyVerdict::Waiting:
        continue;
      case net::HostKeyVerdict::Proved:
        tries_.Proved(address, SteadyNowMs());
        socket->write(Bytes(step.reply));
        return HandOver(socket);
      case net::HostKeyVerdict::WrongKey:
        tries_.Failed(address, SteadyNowMs());
        return LetGo(socket, address, step.reply, kWrongKeyRow);
      case net::HostKeyVerdict::NoAnswer:
        return LetGo(socket, address, {}, kNoKeyRow);
    }
  }
  if (socket->bytesAvailable() >= kReadBound - 1) LetGo(socket, address, {}, kNoKeyRow);
}

void HostGate::Gone(QTcpSocket* socket) {
  const auto it = visitors_.find(socket);
  if (it == visitors_.end()) return;
  // An answer that came with the close still counts.
  if (socket->bytesAvailable() > 0) {
    Read(socket);
    if (!visitors_.count(socket)) return;
  }
  const std::string address = it->second.address;
  LetGo(socket, address, {}, kNoKeyRow);
}

void HostGate::Forget(QTcpSocket* socket) {
  const auto it = visitors_.find(socket);
  if (it == visitors_.end()) return;
  // Possibly from inside the deadline's own signal: stopped now, deleted later.
  it->second.deadline->stop();
  it->second.deadline->deleteLater();
  visitors_.erase(it);
  disconnect(socket, nullptr, this, nullptr);
}

void HostGate::LetGo(QTcpSocket* socket, const std::string& address, const std::string& reply,
                     std::string_view row) {
  Forget(socket);
  // Read what is left, so that the close is an orderly one that does not
  // throw away the line written just before it.
  socket->readAll();
  if (!reply.empty()) socket->write(Bytes(reply));
  CloseSoon(socket);
  Logged(address, row);
}

void HostGate::Logged(const std::string& address, std::string_view row) {
  if (const std::optional<int> left = tries_.LogRefusal(address, SteadyNowMs())) {
    std::string text = std::string(row) + address;
    if (*left > 0) text += "（ほかに" + std::to_string(*left) + "件）";
    view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), text));
  }
}

void HostGate::HandOver(QTcpSocket* socket) {
  Forget(socket);
  // The host's socket control takes it over as it takes any new connection
  // (and sets its own read bound).
  socket->setParent(nullptr);
  socket->setReadBufferSize(0);
  auto& pending = net::PendingConnections::Instance();
  const qintptr id = pending.Add(socket);
  view_.proved(id);
  pending.Drop(id);  // not accepted: the host is going, or no slot can listen
}

}  // namespace crewmap::main
