#pragma once
// A TCP socket control with the operations, events and numbered states of the
// classic Winsock control, over QTcpServer/QTcpSocket. One instance is one
// slot's socket; several instances may use local port 21212, one listens.
//
// Events: ConnectionRequest(index, requestID) on the listener for each
// incoming connection; Accept(requestID) on any instance takes it over, and a
// request nobody accepted while the event ran is dropped. Error while
// connecting means the attempt failed (state Error until Close); Error on an
// established connection means it broke (state Error), to be treated like a
// close. Closed means the peer closed (state Closing until Close).
//
// Bounded both ways: the system's receive buffer is fixed at
// kKernelReceiveBytes and each DataArrival hands over what Qt has read from
// it, so one arrival is at most about that much (a faster peer is held back
// by TCP's flow control); and what waits to be sent sits in the connection's
// OutgoingQueue, which keeps one newest position per sender, and goes to the
// system as the peer takes it. A peer that takes no byte for the grace
// period while something waits is cut off with the Error signal
// (kErrPeerStalled), to be handled like a close.
//
// Every connection, accepted or made, carries the liveness options of
// tcp_liveness.h, so that a peer that has gone without a word ends in the
// Error signal within half a minute, whether or not anything is being sent.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

#include "net/byte_budget.h"
#include "net/name_lookup.h"
#include "net/outgoing_queue.h"
#include "net/tcp_liveness.h"

class QTcpSocket;
class QTimer;

namespace crewmap::net {

class PortListener;

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
  // The kernel's receive buffer per connection (the system doubles it).
  // Qt's own read-ahead limit is not used: with it, Qt 6.4 at times stops
  // reading a busy connection for good.
  static constexpr int kKernelReceiveBytes = 32768;
  // The kernel's send buffer per connection (the system doubles it). Fixed
  // rather than grown by the system: what it holds is stale positions, and
  // a small one lets a stalled peer show in the queue soon.
  static constexpr int kKernelSendBytes = 16384;
  static constexpr int kErrPeerStalled = 10053;

  explicit Winsock(int index, QObject* parent = nullptr);
  ~Winsock() override;

  int Index() const { return index_; }

  int LocalPort() const;
  void SetLocalPort(int port);  // 0: any free port
  QString RemoteHost() const;
  void SetRemoteHost(const QString& host);
  int RemotePort() const;
  void SetRemotePort(int port);
  // Peer address of the connection (kept until Close), empty if none; IPv4
  // peers without the ::ffff: prefix.
  QString RemoteHostIP() const;
  SocketState State() const;

  // Listens on LocalPort() (all interfaces). State becomes Listening, or Error.
  void Listen();
  // Takes over the pending connection announced by ConnectionRequest.
  void Accept(qintptr requestID);
  // Connects to RemoteHost():RemotePort() from any free local port. State
  // becomes Connecting; the Connected signal or the Error signal (state
  // Error) follows. An empty or malformed address gives state Error at once
  // and the Error signal from the event loop. A host name is looked up
  // afresh each time, on a thread nobody waits for: Close, Abort and the
  // control's end drop a lookup still under way without waiting for it.
  void Connect();
  // How host names are looked up (kept across Close); the system's resolver
  // unless set.
  void SetNameResolver(NameResolver resolver) { resolver_ = std::move(resolver); }
  // Sends one line on an established connection; ignored in any other
  // state. A position line from sender `slot` replaces that sender's unsent
  // older one; control lines always go, in order. True if the line was queued.
  bool SendData(const QByteArray& bytes, Traffic kind = Traffic::Control, int slot = -1);
  // Bytes handed to SendData and not yet taken by the system.
  qint64 BytesUnsent() const;
  // Position lines replaced by newer ones before they went, over the control's whole life.
  quint64 PositionsDropped() const { return positionsDropped_; }
  // The outgoing bounds of this control's connections (kept across Close).
  void SetQueueBounds(const QueueBounds& bounds);
  // How fast this control reads its connections (kept across Close; a new
  // connection starts with a full budget). Past the budget nothing is read
  // until it refills: the bytes wait in the system and TCP slows the sender.
  void SetReadRate(const ByteRate& rate);
  // How connections of this control notice a peer that has gone (kept
  // across Close; applies to the next connection).
  void SetLiveness(const Liveness& liveness) { liveness_ = liveness; }
  // The native handle of the current connection, or -1.
  qintptr SocketDescriptor() const;
  // Everything received and not yet taken.
  QByteArray GetData();
  qint64 BytesReceived() const;
  // Closes whatever the control holds (listener or connection). The state
  // passes through Closing while buffered data is still being written.
  void Close();
  // Drops whatever the control holds at once, unsent data included; state Closed.
  void Abort() { Reset(); }

 signals:
  void ConnectionRequest(int index, qintptr requestID);
  void Connected(int index);               // the outgoing connection is established (Winsock_Connect)
  void DataArrival(int index, qint64 bytesTotal);
  void Closed(int index);                  // the peer closed the connection
  void Error(int index, int number, const QString& description);

 private:
  void Adopt(QTcpSocket* socket);
  // Connects to each of `addresses` in turn until one answers.
  void Dial(std::vector<QHostAddress> addresses);
  void DialNext();
  void OnNameLookedUp(const std::vector<std::string>& found);
  // Reads what the budget allows (everything when `all`), then emits DataArrival.
  void OnReadyRead(bool all = false);
  void OnDisconnected();
  void OnSocketError(int socketError);
  // Enters Error and emits the Error signal from the event loop, unless the
  // control has moved on by then.
  void FailLater(int number, const QString& description);
  // Drops whatever the control holds at once, without a closing phase.
  void Reset();
  void StopListening();
  // Hands queued lines to the socket while it holds little; then re-arms the stall timer.
  void Pump();
  void WatchQueue();
  void OnStallTimer();
  void Tune(QTcpSocket* socket);

  // Implementation detail of the backing sockets; see winsock.cpp.
  int index_;
  int localPort_ = 21212;
  QString remoteHost_;
  int remotePort_ = 0;
  SocketState state_ = SocketState::Closed;
  QPointer<PortListener> listener_;  // while listening: the shared server of the port
  QPointer<QTcpSocket> socket_;
  QByteArray received_;
  QString remoteIp_;
  QPointer<QTcpSocket> closing_;  // a closed connection still sending its last bytes
  quint64 generation_ = 0;        // bumped whenever the control starts over
  OutgoingQueue queue_;
  QTimer* stallTimer_ = nullptr;
  quint64 positionsDropped_ = 0;
  bool progressed_ = false;  // the system took bytes since the stall timer last looked
  ByteBudget readBudget_;
  QTimer* readTimer_ = nullptr;  // reads again once the budget has refilled
  Liveness liveness_;
  NameResolver resolver_ = ResolveWithSystem;
  std::unique_ptr<NameLookup> lookup_;  // the host name being looked up
  std::vector<QHostAddress> dialing_;   // addresses not yet tried, next first
};

}  // namespace crewmap::net
