#pragma once
// One listening TCP server per local port, shared by the Winsock controls of
// the process. A control that "listens" becomes the port's announcer; when it
// stops, the server stays open until the current event is over, so that a
// handler which closes the listener, accepts the request and lets another
// control listen loses none of the connections that arrived together.
#include <QObject>
#include <QPointer>
#include <deque>
#include <map>

class QTcpServer;
class QTcpSocket;

namespace crewmap::net {

class Winsock;

class PortListener : public QObject {
  Q_OBJECT

 public:
  struct Result {
    PortListener* listener = nullptr;
    bool addressInUse = false;
    QString error;
  };
  // Makes `announcer` the one control listening on `port` (0: any free port).
  static Result Acquire(Winsock* announcer, int port);
  // `announcer` stops listening; the server closes after the current event
  // unless some control listens on the port again by then.
  void Release(Winsock* announcer);

  int Port() const;

 private:
  explicit PortListener(QObject* parent = nullptr);
  ~PortListener() override;
  void OnNewConnection();
  void AnnounceWaiting();
  void CloseIfUnused();

  static std::map<int, PortListener*>& Ports();

  QTcpServer* server_ = nullptr;
  QPointer<Winsock> announcer_;
  std::deque<QTcpSocket*> waiting_;  // arrived while no control listened
  int port_ = 0;
};

}  // namespace crewmap::net
