#include "net/port_listener.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "net/pending_connections.h"
#include "net/winsock.h"

namespace crewmap::net {

std::map<int, PortListener*>& PortListener::Ports() {
  static std::map<int, PortListener*> ports;
  return ports;
}

PortListener::PortListener(QObject* parent) : QObject(parent), server_(new QTcpServer(this)) {
  connect(server_, &QTcpServer::newConnection, this, &PortListener::OnNewConnection);
}

PortListener::~PortListener() {
  for (QTcpSocket* socket : waiting_) {
    socket->abort();
    socket->deleteLater();
  }
}

int PortListener::Port() const { return port_; }

PortListener::Result PortListener::Acquire(Winsock* announcer, int port) {
  auto& ports = Ports();
  if (port != 0) {
    if (const auto it = ports.find(port); it != ports.end()) {
      PortListener* listener = it->second;
      if (listener->announcer_ && listener->announcer_ != announcer)
        return {nullptr, true, QStringLiteral("The address is already in use")};
      listener->announcer_ = announcer;
      // Connections that came while nobody listened are announced now.
      QMetaObject::invokeMethod(listener, &PortListener::AnnounceWaiting, Qt::QueuedConnection);
      return {listener, false, {}};
    }
  }
  auto* listener = new PortListener;
  if (!listener->server_->listen(QHostAddress::Any, static_cast<quint16>(port))) {
    Result failed{nullptr, listener->server_->serverError() == QAbstractSocket::AddressInUseError,
                  listener->server_->errorString()};
    delete listener;
    return failed;
  }
  listener->port_ = listener->server_->serverPort();
  listener->announcer_ = announcer;
  ports[listener->port_] = listener;
  return {listener, false, {}};
}

void PortListener::Release(Winsock* announcer) {
  if (announcer_ != announcer) return;
  announcer_ = nullptr;
  QMetaObject::invokeMethod(this, &PortListener::CloseIfUnused, Qt::QueuedConnection);
}

void PortListener::CloseIfUnused() {
  if (announcer_) return;
  Ports().erase(port_);
  server_->close();
  deleteLater();
}

void PortListener::OnNewConnection() {
  while (server_->hasPendingConnections()) {
    QTcpSocket* socket = server_->nextPendingConnection();
    socket->setParent(nullptr);
    waiting_.push_back(socket);
  }
  AnnounceWaiting();
}

void PortListener::AnnounceWaiting() {
  // Each request goes to whichever control listens at that moment; the
  // handler of one request may hand the listening over to another control.
  while (!waiting_.empty() && announcer_) {
    QTcpSocket* socket = waiting_.front();
    waiting_.pop_front();
    auto& pending = PendingConnections::Instance();
    const qintptr id = pending.Add(socket);
    Winsock* announcer = announcer_;
    emit announcer->ConnectionRequest(announcer->Index(), id);
    pending.Drop(id);  // nobody accepted it
  }
}

}  // namespace crewmap::net
