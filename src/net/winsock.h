#pragma once
// A TCP socket control with the operations, events and numbered states of the
// classic Winsock control, over QTcpServer/QTcpSocket. One instance is one
// slot's socket; several instances may use local port 21212, one listens.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace crewmap::net {

enum class SocketState : int {
  Closed = 0,
  Open = 1,
  Listening = 2,
  ConnectionPending = 3,
  ResolvingHost = 4,
  HostResolved = 5,
  Connecting = 6,
  Connected = 7,
  Closing = 8,
  Error = 9,
};

class Winsock : public QObject {
  Q_OBJECT

 public:
  explicit Winsock(int index, QObject* parent = nullptr);
  ~Winsock() override;

  int Index() const { return index_; }

  int LocalPort() const;
  void SetLocalPort(int port);  // 0: any free port
  QString RemoteHost() const;
  void SetRemoteHost(const QString& host);
  int RemotePort() const;
  void SetRemotePort(int port);
  QString RemoteHostIP() const;  // peer address of the connection, empty if none
  SocketState State() const;

  // Listens on LocalPort() (all interfaces). State becomes Listening, or Error.
  void Listen();
  // Takes over the pending connection announced by ConnectionRequest.
  void Accept(qintptr requestID);
  // Connects to RemoteHost():RemotePort(). State becomes Connecting; the
  // Connected signal or the Error signal (state Error) follows.
  void Connect();
  void SendData(const QByteArray& bytes);
  // Everything received and not yet taken.
  QByteArray GetData();
  qint64 BytesReceived() const;
  // Closes whatever the control holds (listener or connection). The state
  // passes through Closing while buffered data is still being written.
  void Close();

 signals:
  void ConnectionRequest(int index, qintptr requestID);
  void Connected(int index);               // the outgoing connection is established (Winsock_Connect)
  void DataArrival(int index, qint64 bytesTotal);
  void Closed(int index);                  // the peer closed the connection
  void Error(int index, int number, const QString& description);

 private:
  // Implementation detail of the backing sockets; see winsock.cpp.
  int index_;
  int localPort_ = 21212;
  QString remoteHost_;
  int remotePort_ = 0;
  SocketState state_ = SocketState::Closed;
  QPointer<QTcpServer> server_;
  QPointer<QTcpSocket> socket_;
  QByteArray received_;
};

}  // namespace crewmap::net
