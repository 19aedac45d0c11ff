#include "net/pending_connections.h"

#include <QTcpSocket>

namespace crewmap::net {

PendingConnections& PendingConnections::Instance() {
  static PendingConnections instance;
  return instance;
}

qintptr PendingConnections::Add(QTcpSocket* socket) {
  const qintptr id = next_++;
  sockets_.emplace(id, socket);
  return id;
}

QTcpSocket* PendingConnections::Take(qintptr requestID) {
  const auto it = sockets_.find(requestID);
  if (it == sockets_.end()) return nullptr;
  QTcpSocket* socket = it->second;
  sockets_.erase(it);
  return socket;
}

void PendingConnections::Drop(qintptr requestID) {
  if (QTcpSocket* socket = Take(requestID)) {
    socket->abort();
    socket->deleteLater();
  }
}

}  // namespace crewmap::net
