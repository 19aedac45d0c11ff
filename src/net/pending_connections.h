#pragma once
// Connections that a listening Winsock has taken in and announced by request
// identifier, waiting for some Winsock (any instance) to accept them.
#include <QtGlobal>
#include <map>

class QTcpSocket;

namespace crewmap::net {

class PendingConnections {
 public:
  static PendingConnections& Instance();

  // Keeps `socket` (no parent) and returns its new request identifier.
  qintptr Add(QTcpSocket* socket);
  // Hands the socket over to the caller; nullptr if the identifier is unknown
  // or the connection was already accepted or dropped.
  QTcpSocket* Take(qintptr requestID);
  // Closes and deletes a connection nobody accepted.
  void Drop(qintptr requestID);
  std::size_t Count() const { return sockets_.size(); }

 private:
  std::map<qintptr, QTcpSocket*> sockets_;
  qintptr next_ = 1;
};

}  // namespace crewmap::net
