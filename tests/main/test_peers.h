#pragma once
// Loopback helpers for the main window's tests: a raw TCP peer that plays a
// member or a host byte for byte, a tiny HTTP server that echoes an address
// page, and waiting with the event loop running.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>

namespace crewmap::test {

// Runs the event loop until `done` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for `ms`.
void Spin(int ms);
// A port on 127.0.0.1 that was free a moment ago.
int FreePort();

class Peer : public QObject {
  Q_OBJECT

 public:
  Peer();
  bool Connect(int port, int timeoutMs = 5000);
  void Send(const QByteArray& bytes);
  bool WaitReceived(const QByteArray& part, int timeoutMs = 5000);
  bool WaitClosed(int timeoutMs = 5000);
  void Close();
  // Ends the connection with a reset instead of an orderly close.
  void Reset();
  QByteArray received;
  bool closedByPeer = false;
  QTcpSocket socket;
};

// A host that follows the protocol exactly, with nothing of ours added: the
// n-th connection gets slot n ("client#n"), and every line it receives (each
// arrival split at CR LF, nothing carried over) goes to every member of
// slots 1..8, the sender too, as "NN:" + the line.
class ExactHost : public QObject {
  Q_OBJECT

 public:
  explicit ExactHost(int port);
  QList<QByteArray> lines;  // every line received, in order

 private:
  QTcpServer server_;
  QTcpSocket* members_[10] = {};
};

// Answers every request with one fixed HTTP/1.0 reply body (or never, when
// silent), `delayMs` after the request is in, then closes.
class HttpEcho : public QObject {
  Q_OBJECT

 public:
  explicit HttpEcho(QByteArray body, bool silent = false, int delayMs = 0);
  int Port() const { return server_.serverPort(); }
  int requests = 0;

 private:
  QTcpServer server_;
  QByteArray body_;
  bool silent_;
  int delayMs_;
};

}  // namespace crewmap::test
