#include "net/address_lookup.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace crewmap::net {

QString EchoUrl(const std::string& configured) {
  return configured.empty() ? QString::fromLatin1(kDefaultEchoUrl) : QString::fromStdString(configured);
}

void StartAddressFetch(const QUrl& url, const LookupLimits& limits, QObject* context,
                       std::function<void(const EchoAnswer&)> done) {
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    QTimer::singleShot(0, context, [done] { done({}); });
    return;
  }
  // The manager lives as long as the request and goes with the context.
  auto* manager = new QNetworkAccessManager(context);
  QNetworkRequest request(url);
  // Uncompressed: a few compressed bytes could otherwise unpack into far
  // more than the bound below.
  request.setRawHeader("Accept-Encoding", "identity");
  QNetworkReply* reply = manager->get(request);
  // Qt reads no further ahead of us than this; we read as it comes.
  const qint64 bound = static_cast<qint64>(limits.maxBytes) + 1;
  reply->setReadBufferSize(bound);
  auto* deadline = new QTimer(manager);
  deadline->setSingleShot(true);
  auto* stall = new QTimer(manager);
  stall->setSingleShot(true);
  auto body = std::make_shared<QByteArray>();
  auto answered = std::make_shared<bool>(false);

  auto finish = [manager, reply, deadline, stall, done, answered, body](EchoEnd end) {
    if (*answered) return;  // the time-out and the reply in one turn of the loop
    *answered = true;
    deadline->stop();
    stall->stop();
    reply->disconnect(manager);
    EchoAnswer answer;
    answer.end = end;
    if (end == EchoEnd::Answered)
      answer.address = QString::fromUtf8(ExtractAddress(std::string_view(body->constData(), body->size())));
    else
      reply->abort();
    manager->deleteLater();
    done(answer);
  };
  // Takes what has arrived; false once the reply is over the bound.
  auto take = [reply, body, bound, stall, finish] {
    body->append(reply->read(bound - body->size()));
    if (body->size() >= bound) {
      finish(EchoEnd::TooLong);
      return false;
    }
    stall->start();
    return true;
  };
  QObject::connect(reply, &QNetworkReply::readyRead, manager, take);
  QObject::connect(reply, &QNetworkReply::metaDataChanged, manager, [stall] { stall->start(); });
  QObject::connect(reply, &QNetworkReply::finished, manager, [reply, take, finish] {
    if (!take()) return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = reply->error() == QNetworkReply::NoError && (status == 0 || (status >= 200 && status <= 299));
    finish(ok ? EchoEnd::Answered : EchoEnd::Failed);
  });
  QObject::connect(deadline, &QTimer::timeout, manager, [finish] { finish(EchoEnd::Failed); });
  QObject::connect(stall, &QTimer::timeout, manager, [finish] { finish(EchoEnd::Failed); });
  deadline->start(limits.timeoutMs);
  stall->start(limits.stallMs);
}

EchoAnswer FetchEchoAnswer(const QUrl& url, const LookupLimits& limits) {
  QEventLoop loop;
  EchoAnswer answer;
  bool finished = false;
  StartAddressFetch(url, limits, &loop, [&](const EchoAnswer& result) {
    answer = result;
    finished = true;
    loop.quit();
  });
  if (!finished) loop.exec();
  return answer;
}

QString FetchPublicAddress(const QUrl& url, int timeoutMs) {
  LookupLimits limits;
  limits.timeoutMs = timeoutMs;
  return FetchEchoAnswer(url, limits).address;
}

}  // namespace crewmap::net
