// The address lookup against a real HTTP server on loopback.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include "net/address_lookup.h"

namespace crewmap::net {
namespace {

// A minimal HTTP/1.0 server: answers every request with one status and body,
// or, when silent, accepts and never answers; when stalling, it sends the
// head and half the body and then nothing more; when dribbling, the body a
// byte every `dribbleMs`.
class EchoServer {
 public:
  EchoServer(int status, QByteArray body, bool silent = false, bool stall = false, int dribbleMs = 0)
      : status_(status), body_(std::move(body)), silent_(silent) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this, stall, dribbleMs] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, stall, dribbleMs] {
          request_ += s->readAll();
          if (silent_ || !request_.contains("\r\n\r\n")) return;
          ++requests_;
          const QByteArray reason = status_ == 200 ? "OK" : "Not Found";
          const QByteArray now = stall ? body_.left(body_.size() / 2) : dribbleMs ? QByteArray() : body_;
          s->write("HTTP/1.0 " + QByteArray::number(status_) + " " + reason +
                   "\r\nContent-Type: text/plain\r\nContent-Length: " +
                   QByteArray::number(body_.size()) + "\r\n\r\n" + now);
          for (qsizetype i = 0; dribbleMs && i < body_.size(); ++i)
            QTimer::singleShot(static_cast<int>(dribbleMs * (i + 1)), s, [s, byte = body_.mid(i, 1)] { s->write(byte); });
          if (!stall) QTimer::singleShot(static_cast<int>(dribbleMs * (body_.size() + 1)), s, [s] { s->disconnectFromHost(); });
        });
      }
    });
  }
  QUrl Url(const QString& path = QStringLiteral("/")) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
  }
  int Requests() const { return requests_; }
  const QByteArray& Request() const { return request_; }

 private:
  QTcpServer server_;
  int status_;
  QByteArray body_;
  bool silent_;
  int requests_ = 0;
  QByteArray request_;
};

TEST(AddressLookup, RepliesFromARealServer) {
  struct Case {
    int status;
    const char* body;
    const char* shown;
  } const cases[] = {
      {200, "Your address (public) is (203.0.113.5) today", "203.0.113.5"},
      {200, "Your address (public) is ( 203.0.113.5 ) today", " 203.0.113.5 "},
      {200, "Your address (public) is (203.0.113.5 today", "203.0.113.5 today"},
      {200, "203.0.113.5\n", "203.0.113.5"},
      {200, "2001:db8::5", "2001:db8::5"},
      {200, "no brackets here", ""},
      {404, "Your address (public) is (203.0.113.5) today", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    EchoServer server(c.status, c.body);
    EXPECT_EQ(FetchPublicAddress(server.Url(), 10000), QString::fromUtf8(c.shown));
    EXPECT_EQ(server.Requests(), 1);
    EXPECT_TRUE(server.Request().startsWith("GET / HTTP/1.1\r\n"));
  }
}

TEST(AddressLookup, ServerThatNeverAnswersTimesOut) {
  EchoServer server(200, "(a)(203.0.113.5)", /*silent=*/true);
  EXPECT_EQ(FetchPublicAddress(server.Url(), 300), QString());
  EXPECT_EQ(server.Requests(), 0);
}

// Catches a reply that stops half-way being waited for until the whole
// time-out (the box stays empty for a minute) instead of the stall limit.
TEST(AddressLookup, ReplyThatStopsComingIsGivenUp) {
  EchoServer server(200, "Your address (public) is (203.0.113.5) today", /*silent=*/false, /*stall=*/true);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(FetchEchoAnswer(server.Url(), LookupLimits{60000, 300}).end, EchoEnd::Failed);
  EXPECT_LT(clock.elapsed(), 30000);
  // A slow but steady reply (a byte each 100 ms, 1.7 s in all) is read whole:
  // each byte is progress (caught: the limit not started again on each read).
  EchoServer slow(200, "(x) (203.0.113.5)", false, false, /*dribbleMs=*/100);
  EXPECT_EQ(FetchEchoAnswer(slow.Url(), LookupLimits{60000, 300}).address, QStringLiteral("203.0.113.5"));
}

TEST(AddressLookup, NothingListeningGivesEmptyText) {
  QUrl url;
  {
    EchoServer gone(200, "");
    url = gone.Url();
  }
  EXPECT_EQ(FetchPublicAddress(url, 5000), QString());
}

TEST(AddressLookup, OnlyWebAddressesAreFetched) {
  EXPECT_EQ(FetchPublicAddress(QUrl(QStringLiteral("file:///etc/hostname")), 1000), QString());
  EXPECT_EQ(FetchPublicAddress(QUrl(QStringLiteral("not a url at all")), 1000), QString());
}

}  // namespace
}  // namespace crewmap::net
