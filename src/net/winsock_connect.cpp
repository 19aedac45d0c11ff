// The Winsock control's outgoing connections: the host name looked up, then
// dialled.
#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>
#include <QThreadPool>

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
  if (!QHostAddress(target).isNull()) {
    Dial(target);
    return;
  }
  // A host name is looked up afresh on every attempt: Qt would take it from
  // its cache for a minute, and a member retrying its host by a dynamic-DNS
  // name must find the host at its new address as soon as the name says so.
  // The blocking lookup runs on a pool thread and renews Qt's cache; dialling
  // the name then takes that answer (and tries each address as Qt does).
  const quint64 generation = generation_;
  const QPointer<Winsock> self(this);
  QThreadPool::globalInstance()->start([self, generation, target] {
    QHostInfo::fromName(target);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, generation, target] {
          if (self && self->generation_ == generation && self->state_ == SocketState::Connecting) self->Dial(target);
        },
        Qt::QueuedConnection);
  });
}

void Winsock::Dial(const QString& host) {
  auto* socket = new QTcpSocket(this);
  socket_ = socket;
  connect(socket, &QTcpSocket::connected, this, [this] {
    Tune(socket_);
    remoteIp_ = PeerText(socket_->peerAddress());
    state_ = SocketState::Connected;
    emit Connected(index_);
  });
  connect(socket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
  connect(socket, &QTcpSocket::disconnected, this, &Winsock::OnDisconnected);
  connect(socket, &QTcpSocket::errorOccurred, this,
          [this](QAbstractSocket::SocketError e) { OnSocketError(static_cast<int>(e)); });
  socket->connectToHost(host, static_cast<quint16>(remotePort_));
}

}  // namespace crewmap::net
