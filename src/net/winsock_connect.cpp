// The Winsock control's outgoing connections: the host name looked up, then
// each of its addresses dialled in turn.
#include <QTcpSocket>
#include <QUrl>
#include <utility>

#include "net/remote_host.h"
#include "net/winsock.h"
#include "net/winsock_internal.h"

namespace crewmap::net {

void Winsock::Connect() {
  Reset();
  const auto host = NormalizeRemoteHost(remoteHost_.toStdString());
  if (!host) {
    FailLater(kErrHostNotFound, QStringLiteral("Not a host address: \"%1\"").arg(remoteHost_));
    return;
  }
  if (remotePort_ <= 0 || remotePort_ > 65535) {
    FailLater(kErrInvalidArgument, QStringLiteral("Invalid remote port %1").arg(remotePort_));
    return;
  }
  state_ = SocketState::Connecting;
  const QString target = QString::fromStdString(*host);
  const QHostAddress literal(target);
  if (!literal.isNull()) {
    Dial({literal});
    return;
  }
  // A host name is looked up afresh on every attempt, past any cache: a
  // member retrying its host by a dynamic-DNS name must find the host at its
  // new address as soon as the name says so. The lookup blocks, so it runs
  // on a thread of its own that nobody waits for (see name_lookup.h); the
  // answer comes back here, or is dropped once the control has moved on.
  const QByteArray ascii = QUrl::toAce(target);  // a name in other scripts as the resolver takes it
  if (ascii.isEmpty()) {
    FailLater(kErrHostNotFound, QStringLiteral("Not a host name: \"%1\"").arg(remoteHost_));
    return;
  }
  lookup_ = std::make_unique<NameLookup>(ascii.toStdString(), resolver_, this,
                                         [this](const std::vector<std::string>& found) { OnNameLookedUp(found); });
}

void Winsock::OnNameLookedUp(const std::vector<std::string>& found) {
  lookup_.reset();
  if (state_ != SocketState::Connecting) return;
  std::vector<QHostAddress> addresses;
  for (const std::string& text : found) {
    const QHostAddress address(QString::fromStdString(text));
    if (!address.isNull()) addresses.push_back(address);
  }
  if (addresses.empty()) {
    state_ = SocketState::Error;
    emit Error(index_, kErrHostNotFound, QStringLiteral("Host not found"));
    return;
  }
  Dial(std::move(addresses));
}

void Winsock::Dial(std::vector<QHostAddress> addresses) {
  dialing_ = std::move(addresses);
  DialNext();
}

void Winsock::DialNext() {
  const QHostAddress address = dialing_.front();
  dialing_.erase(dialing_.begin());
  auto* socket = new QTcpSocket(this);
  socket_ = socket;
  connect(socket, &QTcpSocket::connected, this, [this] {
    dialing_.clear();
    Tune(socket_);
    remoteIp_ = PeerText(socket_->peerAddress());
    state_ = SocketState::Connected;
    emit Connected(index_);
  });
  connect(socket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
  connect(socket, &QTcpSocket::disconnected, this, &Winsock::OnDisconnected);
  connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError e) {
    if (state_ != SocketState::Connecting || dialing_.empty()) {
      OnSocketError(static_cast<int>(e));
      return;
    }
    // The next address of the name, as Qt tries them; from the event loop,
    // not inside the failing socket's own signal.
    socket->disconnect(this);
    socket_ = nullptr;
    socket->deleteLater();
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_] {
          if (generation_ == generation && state_ == SocketState::Connecting && !dialing_.empty()) DialNext();
        },
        Qt::QueuedConnection);
  });
  socket->connectToHost(address, static_cast<quint16>(remotePort_));
}

}  // namespace crewmap::net
