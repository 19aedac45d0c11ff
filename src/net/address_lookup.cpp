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

QString FetchPublicAddress(const QUrl& url, int timeoutMs) {
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    return {};

  QNetworkAccessManager manager;
  QNetworkRequest request(url);
  std::unique_ptr<QNetworkReply> reply(manager.get(request));
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    loop.quit();
  });
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  deadline.start(timeoutMs);
  if (!reply->isFinished()) loop.exec();
  if (timedOut && !reply->isFinished()) {
    reply->disconnect(&loop);
    reply->abort();
    return {};
  }
  if (reply->error() != QNetworkReply::NoError) return {};
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status != 0 && (status < 200 || status > 299)) return {};
  const QByteArray body = reply->readAll();
  return QString::fromUtf8(ExtractAddress(std::string_view(body.constData(), body.size())));
}

QString LookupPublicAddress(const std::string& iniPath, int timeoutMs) {
  return FetchPublicAddress(QUrl(EchoUrl(iniPath)), timeoutMs);
}

}  // namespace crewmap::net
