#include "net/address_lookup.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "net/address_extract.h"
#include "startup/settings.h"

namespace crewmap::net {

QString EchoUrl(const std::string& iniPath) {
  const std::string configured = startup::GetIniString("NET", "ECHOURL", "", 512, iniPath);
  return configured.empty() ? QString::fromLatin1(kDefaultEchoUrl) : QString::fromStdString(configured);
}

namespace {

QString AddressOfReply(QNetworkReply* reply) {
  if (reply->error() != QNetworkReply::NoError) return {};
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status != 0 && (status < 200 || status > 299)) return {};
  const QByteArray body = reply->readAll();
  return QString::fromUtf8(ExtractAddress(std::string_view(body.constData(), body.size())));
}

}  // namespace

void StartAddressFetch(const QUrl& url, int timeoutMs, QObject* context,
                       std::function<void(const QString&)> done) {
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    QTimer::singleShot(0, context, [done] { done({}); });
    return;
  }
  // The manager lives as long as the request and goes with the context.
  auto* manager = new QNetworkAccessManager(context);
  QNetworkReply* reply = manager->get(QNetworkRequest(url));
  auto* deadline = new QTimer(manager);
  deadline->setSingleShot(true);
  auto answered = std::make_shared<bool>(false);
  auto finish = [manager, reply, deadline, done, answered](bool timedOut) {
    if (*answered) return;  // the time-out and the reply in one turn of the loop
    *answered = true;
    deadline->stop();
    reply->disconnect(manager);
    QString address;
    if (timedOut)
      reply->abort();
    else
      address = AddressOfReply(reply);
    manager->deleteLater();
    done(address);
  };
  QObject::connect(deadline, &QTimer::timeout, manager, [finish] { finish(true); });
  QObject::connect(reply, &QNetworkReply::finished, manager, [finish] { finish(false); });
  deadline->start(timeoutMs);
}

QString FetchPublicAddress(const QUrl& url, int timeoutMs) {
  QEventLoop loop;
  QString address;
  bool finished = false;
  StartAddressFetch(url, timeoutMs, &loop, [&](const QString& result) {
    address = result;
    finished = true;
    loop.quit();
  });
  if (!finished) loop.exec();
  return address;
}

QString LookupPublicAddress(const std::string& iniPath, int timeoutMs) {
  return FetchPublicAddress(QUrl(EchoUrl(iniPath)), timeoutMs);
}

}  // namespace crewmap::net
