// The Winsock control: listening, taking over and closing connections,
// reading what arrives within the read budget, and reporting closes and
// errors. Sending is in winsock_sending.cpp, outgoing connections in
// winsock_connect.cpp.
#include "net/winsock.h"

#include <QTcpSocket>
#include <QTimer>

#include "common/steady_ms.h"
#include "net/pending_connections.h"
#include "net/port_listener.h"
#include "net/winsock_internal.h"

namespace crewmap::net {
namespace {

// A connection being closed by us may keep sending what is buffered; it is
// cut off after this long so that the closing phase always ends.
constexpr int kLingerMs = 30000;

// A connection held at its read budget is read again once this much (or all
// that waits) may be taken.
constexpr qint64 kReadPieceBytes = 2048;

}  // namespace

Winsock::Winsock(int index, QObject* parent) : QObject(parent), index_(index) {
  stallTimer_ = new QTimer(this);
  stallTimer_->setSingleShot(true);
  connect(stallTimer_, &QTimer::timeout, this, &Winsock::OnStallTimer);
  readTimer_ = new QTimer(this);
  readTimer_->setSingleShot(true);
  connect(readTimer_, &QTimer::timeout, this, [this] { OnReadyRead(); });
}

Winsock::~Winsock() { Reset(); }

int Winsock::LocalPort() const {
  if (listener_ && state_ == SocketState::Listening) return listener_->Port();
  if (socket_ && socket_->state() == QAbstractSocket::ConnectedState) return socket_->localPort();
  return localPort_;
}

void Winsock::SetLocalPort(int port) { localPort_ = port; }
QString Winsock::RemoteHost() const { return remoteHost_; }
void Winsock::SetRemoteHost(const QString& host) { remoteHost_ = host; }
int Winsock::RemotePort() const { return remotePort_; }
void Winsock::SetRemotePort(int port) { remotePort_ = port; }
QString Winsock::RemoteHostIP() const { return remoteIp_; }
SocketState Winsock::State() const { return state_; }
qint64 Winsock::BytesReceived() const { return received_.size(); }
qint64 Winsock::BytesUnsent() const {
  return (socket_ ? socket_->bytesToWrite() : 0) + static_cast<qint64>(queue_.Bytes());
}

qintptr Winsock::SocketDescriptor() const { return socket_ ? socket_->socketDescriptor() : -1; }

void Winsock::SetQueueBounds(const QueueBounds& bounds) { queue_ = OutgoingQueue(bounds); }
void Winsock::SetReadRate(const ByteRate& rate) { readBudget_ = ByteBudget(rate); }

void Winsock::Reset() {
  ++generation_;
  lookup_.reset();  // its answer, whenever it comes, is dropped
  dialing_.clear();
  StopListening();
  stallTimer_->stop();
  readTimer_->stop();
  readBudget_.Reset();
  queue_.Reset();
  if (socket_) {
    socket_->disconnect(this);
    socket_->abort();
    socket_->deleteLater();
    socket_ = nullptr;
  }
  if (closing_) {
    closing_->disconnect(this);
    closing_->abort();
    closing_->deleteLater();
    closing_ = nullptr;
  }
  received_.clear();
  remoteIp_.clear();
  state_ = SocketState::Closed;
}

void Winsock::StopListening() {
  if (listener_) listener_->Release(this);
  listener_ = nullptr;
}

void Winsock::FailLater(int number, const QString& description) {
  state_ = SocketState::Error;
  const quint64 generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation, number, description] {
        if (generation_ == generation && state_ == SocketState::Error)
          emit Error(index_, number, description);
      },
      Qt::QueuedConnection);
}

void Winsock::Listen() {
  Reset();
  if (localPort_ < 0 || localPort_ > 65535) {
    FailLater(kErrInvalidArgument, QStringLiteral("Invalid local port %1").arg(localPort_));
    return;
  }
  const auto result = PortListener::Acquire(this, localPort_);
  if (!result.listener) {
    FailLater(result.addressInUse ? kErrAddressInUse : kErrNetworkDown, result.error);
    return;
  }
  listener_ = result.listener;
  state_ = SocketState::Listening;
}

void Winsock::Accept(qintptr requestID) {
  QTcpSocket* socket = PendingConnections::Instance().Take(requestID);
  if (!socket) {
    FailLater(kErrBadState, QStringLiteral("No pending connection with that request identifier"));
    return;
  }
  Reset();
  Adopt(socket);
  state_ = SocketState::Connected;
  // Bytes or a close that came while the connection waited are reported now.
  QMetaObject::invokeMethod(
      this,
      [this, generation = generation_] {
        if (generation_ != generation || !socket_) return;
        if (socket_->bytesAvailable() > 0) OnReadyRead();
        if (generation_ == generation && socket_ &&
            socket_->state() != QAbstractSocket::ConnectedState)
          OnDisconnected();
      },
      Qt::QueuedConnection);
}

void Winsock::Tune(QTcpSocket* socket) {
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);  // positions are small and urgent
  socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kKernelSendBytes);
  socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kKernelReceiveBytes);
  // With a read budget Qt must not read ahead without bound, or the bytes
  // we leave unread would pile up in Qt instead of holding the sender back.
  if (readBudget_.Limited()) socket->setReadBufferSize(kKernelReceiveBytes);
  ApplyLiveness(socket->socketDescriptor(), liveness_);
  connect(socket, &QTcpSocket::bytesWritten, this, [this] {
    progressed_ = true;
    Pump();
  });
}

void Winsock::Adopt(QTcpSocket* socket) {
  socket->setParent(this);
  Tune(socket);
  socket_ = socket;
  remoteIp_ = PeerText(socket->peerAddress());
  remoteHost_ = remoteIp_;
  remotePort_ = socket->peerPort();
  connect(socket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
  connect(socket, &QTcpSocket::disconnected, this, &Winsock::OnDisconnected);
  connect(socket, &QTcpSocket::errorOccurred, this,
          [this](QAbstractSocket::SocketError e) { OnSocketError(static_cast<int>(e)); });
}

QByteArray Winsock::GetData() {
  QByteArray data;
  data.swap(received_);
  return data;
}

void Winsock::OnReadyRead(bool all) {
  if (!socket_) return;
  const qint64 waiting = socket_->bytesAvailable();
  if (waiting <= 0) return;
  const std::int64_t now = SteadyNowMs();
  const qint64 allowed = all ? waiting : std::min<qint64>(waiting, readBudget_.Available(now));
  if (allowed <= 0) {
    // Wait for a worthwhile piece rather than a byte: a sender held at its
    // budget then costs a few reads a second, not one every millisecond.
    if (!readTimer_->isActive())
      readTimer_->start(static_cast<int>(readBudget_.MsUntil(std::min<qint64>(waiting, kReadPieceBytes), now)));
    return;
  }
  const QByteArray bytes = socket_->read(allowed);
  if (bytes.isEmpty()) return;
  readBudget_.Take(bytes.size());
  // The rest is read once the budget allows; until then it holds the sender back.
  if (!all && socket_->bytesAvailable() > 0 && !readTimer_->isActive())
    readTimer_->start(static_cast<int>(std::max<std::int64_t>(
        readBudget_.MsUntil(std::min<qint64>(socket_->bytesAvailable(), kReadPieceBytes), SteadyNowMs()), 1)));
  received_.append(bytes);
  emit DataArrival(index_, bytes.size());
}

void Winsock::OnDisconnected() {
  if (state_ != SocketState::Connected || !socket_) return;
  // What came with the close is delivered before the close itself.
  const quint64 generation = generation_;
  while (socket_ && socket_->bytesAvailable() > 0) {
    OnReadyRead(true);
    if (generation != generation_ || state_ != SocketState::Connected) return;
  }
  if (!socket_) return;
  state_ = SocketState::Closing;
  emit Closed(index_);
}

void Winsock::OnSocketError(int socketError) {
  const auto error = static_cast<QAbstractSocket::SocketError>(socketError);
  if (!socket_) return;
  if (error == QAbstractSocket::RemoteHostClosedError && state_ == SocketState::Connected)
    return;  // the disconnected signal follows and reports the close
  if (state_ != SocketState::Connecting && state_ != SocketState::Connected) return;
  state_ = SocketState::Error;
  emit Error(index_, ErrorNumber(error), socket_ ? socket_->errorString() : QString());
}

void Winsock::Close() {
  ++generation_;
  lookup_.reset();
  dialing_.clear();
  StopListening();
  stallTimer_->stop();
  readTimer_->stop();
  readBudget_.Reset();
  // What is queued goes out with the close (a few lines at most).
  if (socket_ && socket_->state() == QAbstractSocket::ConnectedState)
    while (!queue_.Empty()) {
      const std::string line = queue_.Pop();
      socket_->write(line.data(), static_cast<qint64>(line.size()));
    }
  queue_.Reset();
  received_.clear();
  remoteIp_.clear();
  if (!socket_) {
    if (!closing_) state_ = SocketState::Closed;
    return;
  }
  QTcpSocket* socket = socket_;
  socket_ = nullptr;
  socket->disconnect(this);
  if (closing_) {
    closing_->abort();
    closing_->deleteLater();
  }
  if (socket->state() == QAbstractSocket::ConnectedState) socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState ||
      socket->state() == QAbstractSocket::HostLookupState ||
      socket->state() == QAbstractSocket::ConnectingState) {
    socket->abort();
    socket->deleteLater();
    closing_ = nullptr;
    state_ = SocketState::Closed;
    return;
  }
  // Still sending what was buffered: Closing until the connection is down.
  closing_ = socket;
  state_ = SocketState::Closing;
  auto finish = [this, socket] {
    if (closing_ != socket) return;
    closing_ = nullptr;
    socket->deleteLater();
    if (!socket_) state_ = SocketState::Closed;
  };
  connect(socket, &QTcpSocket::disconnected, this, finish);
  connect(socket, &QTcpSocket::errorOccurred, this, finish);
  QTimer::singleShot(kLingerMs, socket, [socket, finish] {
    socket->abort();
    finish();
  });
}

}  // namespace crewmap::net
