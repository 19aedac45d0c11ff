#include "test_peers.h"

#include <sys/socket.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace crewmap::test {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return done();
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

void Spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const int port = probe.serverPort();
  probe.close();
  return port;
}

Peer::Peer() {
  connect(&socket, &QTcpSocket::readyRead, this, [this] { received += socket.readAll(); });
  connect(&socket, &QTcpSocket::disconnected, this, [this] { closedByPeer = true; });
}

bool Peer::Connect(int port, int timeoutMs) {
  socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
  return WaitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

void Peer::Send(const QByteArray& bytes) {
  socket.write(bytes);
  socket.flush();
}

bool Peer::WaitReceived(const QByteArray& part, int timeoutMs) {
  return WaitUntil([&] { return received.contains(part); }, timeoutMs);
}

bool Peer::WaitClosed(int timeoutMs) {
  return WaitUntil([this] { return closedByPeer; }, timeoutMs);
}

void Peer::Close() {
  socket.disconnectFromHost();
  if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(1000);
}

void Peer::Reset() {
  const qintptr fd = socket.socketDescriptor();
  if (fd >= 0) {
    linger hard{1, 0};
    ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  socket.abort();
}

ExactHost::ExactHost(int port) {
  server_.listen(QHostAddress::LocalHost, static_cast<quint16>(port));
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* member = server_.nextPendingConnection()) {
      int n = 1;
      while (n <= 9 && members_[n]) ++n;
      if (n > 9) {
        member->close();
        continue;
      }
      members_[n] = member;
      member->write("client#" + QByteArray::number(n) + "\r\n");
      connect(member, &QTcpSocket::readyRead, this, [this, member, n] {
        const QByteArray data = member->readAll();
        for (qsizetype from = 0, end = 0; end >= 0; from = end + 2) {
          end = data.indexOf("\r\n", from);
          const QByteArray line = data.mid(from, end < 0 ? -1 : end - from);
          if (line.count(' ') == line.size()) continue;  // empty, or spaces only
          lines << line;
          for (int j = 1; j <= 8; ++j)
            if (members_[j]) members_[j]->write(QByteArray::number(n).rightJustified(2, '0') + ":" + line + "\r\n");
        }
      });
    }
  });
}

HttpEcho::HttpEcho(QByteArray body, bool silent, int delayMs)
    : body_(std::move(body)), silent_(silent), delayMs_(delayMs) {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* client = server_.nextPendingConnection()) {
      ++requests;
      connect(client, &QTcpSocket::readyRead, client, [this, client] {
        if (!client->readAll().contains("\r\n\r\n") || silent_) return;
        QTimer::singleShot(delayMs_, client, [this, client] {
          client->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                        QByteArray::number(body_.size()) + "\r\n\r\n" + body_);
          client->disconnectFromHost();
        });
      });
      connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
  });
}

}  // namespace crewmap::test
