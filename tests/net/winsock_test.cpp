// The Winsock control over real loopback sockets.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include <sys/socket.h>

#include "net/pending_connections.h"
#include "net/winsock.h"

namespace crewmap::net {
namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A port that was free a moment ago.
int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

struct Events {
  std::vector<qintptr> requests;
  int connected = 0;
  int closed = 0;
  std::vector<int> errors;
  QByteArray data;

  void Watch(Winsock& w) {
    QObject::connect(&w, &Winsock::ConnectionRequest, [this](int, qintptr id) { requests.push_back(id); });
    QObject::connect(&w, &Winsock::Connected, [this](int) { ++connected; });
    QObject::connect(&w, &Winsock::Closed, [this](int) { ++closed; });
    QObject::connect(&w, &Winsock::Error, [this](int, int number, const QString&) { errors.push_back(number); });
    QObject::connect(&w, &Winsock::DataArrival, [this, &w](int, qint64) { data += w.GetData(); });
  }
};

TEST(Winsock, ListenAcceptOnAnotherInstanceDataBothWaysAndPeerClose) {
  Winsock listener(1), slot(2), member(1);
  Events onListener, onSlot, onMember;
  onSlot.Watch(slot);
  onMember.Watch(member);
  // The listener hands every request to another instance, which accepts it.
  QObject::connect(&listener, &Winsock::ConnectionRequest, [&](int index, qintptr id) {
    EXPECT_EQ(index, 1);
    onListener.requests.push_back(id);
    slot.Accept(id);
  });

  EXPECT_EQ(static_cast<int>(listener.State()), 0);
  listener.SetLocalPort(0);
  listener.Listen();
  ASSERT_EQ(static_cast<int>(listener.State()), 2);
  const int port = listener.LocalPort();
  ASSERT_GT(port, 0);

  member.SetLocalPort(0);
  member.SetRemoteHost(QStringLiteral("127.0.0.1"));
  member.SetRemotePort(port);
  member.Connect();
  EXPECT_EQ(static_cast<int>(member.State()), 6);
  ASSERT_TRUE(WaitFor([&] { return onMember.connected == 1 && slot.State() == SocketState::Connected; }));
  EXPECT_EQ(static_cast<int>(member.State()), 7);
  EXPECT_EQ(static_cast<int>(listener.State()), 2);  // still listening
  EXPECT_EQ(onListener.requests.size(), 1u);
  EXPECT_EQ(slot.RemoteHostIP(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(member.RemoteHostIP(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(PendingConnections::Instance().Count(), 0u);

  slot.SendData("client#2\r\n");
  member.SendData("User1\t1,2\r\n");
  ASSERT_TRUE(WaitFor([&] { return onMember.data.size() == 10 && onSlot.data.size() == 11; }));
  EXPECT_EQ(onMember.data, QByteArray("client#2\r\n"));
  EXPECT_EQ(onSlot.data, QByteArray("User1\t1,2\r\n"));

  // The member sends a last line and closes: the line comes first, then Closed.
  member.SendData("bye\r\n");
  member.Close();
  EXPECT_NE(member.State(), SocketState::Connected);  // closing while "bye" is still being sent
  ASSERT_TRUE(WaitFor([&] { return onSlot.closed == 1; }));
  ASSERT_TRUE(WaitFor([&] { return member.State() == SocketState::Closed; }));
  EXPECT_TRUE(onSlot.data.endsWith("bye\r\n"));
  EXPECT_EQ(static_cast<int>(slot.State()), 8);
  EXPECT_EQ(slot.RemoteHostIP(), QStringLiteral("127.0.0.1"));  // still known for the log row
  slot.Close();
  EXPECT_EQ(static_cast<int>(slot.State()), 0);
  EXPECT_TRUE(onSlot.errors.empty());
  EXPECT_TRUE(onMember.errors.empty());
}

// The host's own pattern: the listener closes itself, accepts the request,
// and the next closed instance listens on the same port. Several members that
// connect at once must all end up accepted.
TEST(Winsock, HostPatternAcceptsABurstOnTheSamePort) {
  const int port = FreePort();
  std::vector<std::unique_ptr<Winsock>> sockets;
  for (int i = 0; i <= 4; ++i) {
    sockets.push_back(std::make_unique<Winsock>(i));
    sockets.back()->SetLocalPort(port);
  }
  for (int i = 1; i <= 4; ++i) {
    Winsock* w = sockets[i].get();
    QObject::connect(w, &Winsock::ConnectionRequest, [&, w](int n, qintptr id) {
      EXPECT_EQ(n, w->Index());
      if (w->State() != SocketState::Closed) w->Close();
      w->Accept(id);
      w->SendData(QByteArray("client#") + QByteArray::number(n) + "\r\n");
      for (int j = 1; j <= 4; ++j)
        if (sockets[j]->State() == SocketState::Closed) {
          sockets[j]->Listen();
          break;
        }
    });
  }
  sockets[1]->Listen();
  ASSERT_EQ(sockets[1]->State(), SocketState::Listening);

  std::vector<std::unique_ptr<Winsock>> members;
  std::vector<QByteArray> got(3);
  for (int m = 0; m < 3; ++m) {
    members.push_back(std::make_unique<Winsock>(1));
    Winsock* w = members.back().get();
    w->SetLocalPort(0);
    w->SetRemoteHost(QStringLiteral("127.0.0.1"));
    w->SetRemotePort(port);
    QObject::connect(w, &Winsock::DataArrival, [&got, m, w](int, qint64) { got[m] += w->GetData(); });
    w->Connect();  // all three before any event is handled
  }
  ASSERT_TRUE(WaitFor([&] { return !got[0].isEmpty() && !got[1].isEmpty() && !got[2].isEmpty(); }));
  QList<QByteArray> assignments{got[0], got[1], got[2]};
  std::sort(assignments.begin(), assignments.end());
  EXPECT_EQ(assignments, (QList<QByteArray>{"client#1\r\n", "client#2\r\n", "client#3\r\n"}));
  EXPECT_EQ(sockets[4]->State(), SocketState::Listening);
  EXPECT_EQ(sockets[4]->LocalPort(), port);
}

TEST(Winsock, UnacceptedRequestIsDropped) {
  Winsock listener(1), member(1);
  Events onMember;
  onMember.Watch(member);
  int requests = 0;
  QObject::connect(&listener, &Winsock::ConnectionRequest, [&](int, qintptr) { ++requests; });
  listener.SetLocalPort(0);
  listener.Listen();
  member.SetRemoteHost(QStringLiteral("127.0.0.1"));
  member.SetRemotePort(listener.LocalPort());
  member.Connect();
  ASSERT_TRUE(WaitFor([&] { return onMember.closed == 1 || !onMember.errors.empty(); }));
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(PendingConnections::Instance().Count(), 0u);
  // Accepting a request that is gone fails without a crash.
  Winsock late(3);
  Events onLate;
  onLate.Watch(late);
  late.Accept(12345678);
  EXPECT_EQ(late.State(), SocketState::Error);
  ASSERT_TRUE(WaitFor([&] { return !onLate.errors.empty(); }));
}

TEST(Winsock, FailedAttemptsEndInTheErrorState) {
  struct Case {
    QString host;
    int port;
    bool immediate;  // refused before any event
  };
  const int refusedPort = FreePort();  // nothing listens there any more
  const Case cases[] = {
      {QStringLiteral("127.0.0.1"), refusedPort, false},
      {QString(), 21212, true},
      {QStringLiteral("   "), 21212, true},
      {QStringLiteral("999.1.1.1"), 21212, true},
      {QStringLiteral("1.2.3"), 21212, true},
      {QStringLiteral("bad host!"), 21212, true},
      {QStringLiteral("127.0.0.1"), 0, true},
      {QStringLiteral("127.0.0.1"), 70000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host.toStdString() + ":" + std::to_string(c.port));
    Winsock member(1);
    Events on;
    on.Watch(member);
    member.SetLocalPort(0);
    member.SetRemoteHost(c.host);
    member.SetRemotePort(c.port);
    member.Connect();
    if (c.immediate) {
      EXPECT_EQ(static_cast<int>(member.State()), 9);
    }
    ASSERT_TRUE(WaitFor([&] { return !on.errors.empty(); }));
    EXPECT_EQ(static_cast<int>(member.State()), 9);
    EXPECT_EQ(on.errors.size(), 1u);
    if (!c.immediate) {
      EXPECT_EQ(on.errors[0], 10061);
    }
    member.Close();
    EXPECT_EQ(member.State(), SocketState::Closed);
    EXPECT_EQ(on.connected, 0);
  }
}

TEST(Winsock, ErrorNotDeliveredAfterTheControlMovedOn) {
  Winsock member(1);
  Events on;
  on.Watch(member);
  member.SetRemoteHost(QString());
  member.SetRemotePort(21212);
  member.Connect();
  member.Close();  // before the event loop ran
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(on.errors.empty());
  EXPECT_EQ(member.State(), SocketState::Closed);
}

TEST(Winsock, OnlyOneInstanceListensOnAPort) {
  Winsock first(1), second(2);
  Events onSecond;
  onSecond.Watch(second);
  first.SetLocalPort(0);
  first.Listen();
  ASSERT_EQ(first.State(), SocketState::Listening);
  second.SetLocalPort(first.LocalPort());
  second.Listen();
  EXPECT_EQ(static_cast<int>(second.State()), 9);
  ASSERT_TRUE(WaitFor([&] { return !onSecond.errors.empty(); }));
  EXPECT_EQ(onSecond.errors[0], 10048);
  // Once the first stops, the port is free for the second.
  first.Close();
  second.Listen();
  EXPECT_EQ(second.State(), SocketState::Listening);
}

TEST(Winsock, CloseDeliversBufferedDataBeforeTheConnectionEnds) {
  Winsock listener(1), slot(2), member(1);
  QObject::connect(&listener, &Winsock::ConnectionRequest, [&](int, qintptr id) { slot.Accept(id); });
  listener.SetLocalPort(0);
  listener.Listen();
  member.SetRemoteHost(QStringLiteral("127.0.0.1"));
  member.SetRemotePort(listener.LocalPort());
  QByteArray received;
  int closed = 0;
  qint64 largestArrival = 0;
  QObject::connect(&member, &Winsock::DataArrival, [&](int, qint64 bytes) {
    largestArrival = std::max(largestArrival, bytes);
    received += member.GetData();
  });
  QObject::connect(&member, &Winsock::Closed, [&](int) { ++closed; });
  member.Connect();
  ASSERT_TRUE(WaitFor([&] { return member.State() == SocketState::Connected && slot.State() == SocketState::Connected; }));

  QByteArray big;
  for (int i = 0; big.size() < 8 * 1024 * 1024; ++i) big += QByteArray::number(i) + ' ';
  slot.SendData(big);
  // Behind the big line the socket is full: these wait in the queue, and
  // the close must send them, not drop them.
  slot.SendData("disconn05\r\n", Traffic::Leave, 5);
  slot.SendData("03:Three\t1,2\r\n", Traffic::Position, 3);
  ASSERT_GT(slot.BytesUnsent(), big.size());
  slot.Close();
  const bool sawClosing = slot.State() == SocketState::Closing;
  ASSERT_TRUE(WaitFor([&] { return closed == 1; }, 20000));
  // Whole and in order, in bounded arrivals.
  EXPECT_TRUE(received == big + "disconn05\r\n03:Three\t1,2\r\n") << received.right(40).constData();
  EXPECT_LE(largestArrival, 1024 * 1024);
  ASSERT_TRUE(WaitFor([&] { return slot.State() == SocketState::Closed; }));
  EXPECT_TRUE(sawClosing);
  // Sending on a closed control does nothing.
  slot.SendData("x");
  EXPECT_EQ(slot.State(), SocketState::Closed);
}

TEST(Winsock, Ipv6LoopbackPeer) {
  Winsock listener(1), slot(2), member(1);
  QObject::connect(&listener, &Winsock::ConnectionRequest, [&](int, qintptr id) { slot.Accept(id); });
  listener.SetLocalPort(0);
  listener.Listen();
  {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHostIPv6, 0)) GTEST_SKIP() << "no IPv6 loopback";
  }
  Events on;
  on.Watch(member);
  member.SetRemoteHost(QStringLiteral("::1"));
  member.SetRemotePort(listener.LocalPort());
  member.Connect();
  ASSERT_TRUE(WaitFor([&] { return slot.State() == SocketState::Connected || !on.errors.empty(); }));
  ASSERT_TRUE(on.errors.empty());
  EXPECT_EQ(slot.RemoteHostIP(), QStringLiteral("::1"));
}

// A peer that resets the connection (RST instead of FIN) ends it like a
// close or an error, never silently; the control can then be closed and used
// again.
TEST(Winsock, PeerResetEndsTheConnection) {
  Winsock listener(1), slot(2);
  Events onSlot;
  onSlot.Watch(slot);
  QObject::connect(&listener, &Winsock::ConnectionRequest, [&](int, qintptr id) { slot.Accept(id); });
  listener.SetLocalPort(0);
  listener.Listen();
  QTcpSocket peer;
  peer.connectToHost(QHostAddress::LocalHost, listener.LocalPort());
  ASSERT_TRUE(peer.waitForConnected(5000));
  ASSERT_TRUE(WaitFor([&] { return slot.State() == SocketState::Connected; }));
  const linger abortive{1, 0};
  ASSERT_EQ(setsockopt(static_cast<int>(peer.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive,
                       sizeof abortive),
            0);
  peer.abort();
  ASSERT_TRUE(WaitFor([&] { return onSlot.closed == 1 || !onSlot.errors.empty(); }));
  EXPECT_TRUE(slot.State() == SocketState::Closing || slot.State() == SocketState::Error);
  slot.Close();
  EXPECT_EQ(slot.State(), SocketState::Closed);
  listener.Close();
  listener.Listen();
  EXPECT_EQ(listener.State(), SocketState::Listening);
}

// A name service that answers only once `opened` is set, or never.
NameResolver HeldResolver(std::shared_future<void> opened, std::vector<std::string> answer) {
  return [opened, answer](const std::string&) {
    opened.wait();
    return answer;
  };
}

// A lookup that never answers holds up neither Close nor the control's end
// nor the program's exit: this test leaves one blocked for good, so a program
// that waited for it at exit would never end (and fail on its time-out). A
// late answer is dropped once the control has moved on or gone. A name is
// found by the system's resolver, and an address that fails gives way to the next.
TEST(Winsock, HostNameLookupsNeverHoldUpCloseOrExit) {
  Winsock listener(1);
  int requests = 0;
  QObject::connect(&listener, &Winsock::ConnectionRequest, [&](int, qintptr) { ++requests; });
  listener.SetLocalPort(0);
  listener.Listen();
  std::promise<void> open;
  const std::shared_future<void> opened = open.get_future().share();
  auto* never = new std::promise<void>;  // kept for good: its lookup never answers
  const auto dial = [&](Winsock& w, const QString& host, NameResolver resolver) {
    if (resolver) w.SetNameResolver(std::move(resolver));
    w.SetRemoteHost(host);
    w.SetRemotePort(listener.LocalPort());
    w.Connect();
    EXPECT_EQ(w.State(), SocketState::Connecting);
  };
  Winsock byName(1), closed(2), stuck(4);
  auto gone = std::make_unique<Winsock>(3);
  Events onByName, onClosed;
  onByName.Watch(byName);
  onClosed.Watch(closed);
  dial(byName, QStringLiteral("localhost"), nullptr);
  ASSERT_TRUE(WaitFor([&] { return onByName.connected == 1 || !onByName.errors.empty(); }));
  EXPECT_TRUE(onByName.errors.empty());
  dial(closed, QStringLiteral("crewmap-host.example"), HeldResolver(opened, {"127.0.0.1"}));
  dial(*gone, QStringLiteral("crewmap-host.example"), HeldResolver(opened, {"127.0.0.1"}));
  closed.Close();
  EXPECT_EQ(closed.State(), SocketState::Closed);
  gone.reset();
  open.set_value();
  // By the time a later control has dialled the same answer, the earlier ones have come and gone.
  Winsock next(5);
  Events onNext;
  onNext.Watch(next);
  dial(next, QStringLiteral("crewmap-host.example"), HeldResolver(opened, {"255.255.255.255", "127.0.0.1"}));
  ASSERT_TRUE(WaitFor([&] { return onNext.connected == 1 || !onNext.errors.empty(); }));
  EXPECT_TRUE(onNext.errors.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(requests, 2) << "only the controls still asking dialled";
  EXPECT_EQ(closed.State(), SocketState::Closed);
  EXPECT_EQ(onClosed.connected + static_cast<int>(onClosed.errors.size()), 0);
  dial(stuck, QStringLiteral("crewmap-host.example"), HeldResolver(never->get_future().share(), {}));
}

}  // namespace
}  // namespace crewmap::net
