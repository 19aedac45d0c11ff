#include "net/global_ipv6.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>

namespace crewmap::net {

QString GlobalIPv6Address() {
  QString temporary;
  for (const QNetworkInterface& face : QNetworkInterface::allInterfaces()) {
    const auto flags = face.flags();
    if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
        (flags & QNetworkInterface::IsLoopBack))
      continue;
    for (const QNetworkAddressEntry& entry : face.addressEntries()) {
      const QHostAddress address = entry.ip();
      if (address.protocol() != QAbstractSocket::IPv6Protocol) continue;
      const Q_IPV6ADDR bytes = address.toIPv6Address();
      const bool global = (bytes[0] & 0xE0) == 0x20;
      const bool teredo = bytes[0] == 0x20 && bytes[1] == 0x01 && bytes[2] == 0 && bytes[3] == 0;
      if (!global || teredo) continue;
      if (entry.isLifetimeKnown() && entry.preferredLifetime().hasExpired()) continue;  // deprecated
      const QString text = QHostAddress(bytes).toString();  // without a scope
      if (!entry.isTemporary()) return text;
      if (temporary.isEmpty()) temporary = text;
    }
  }
  return temporary;
}

}  // namespace crewmap::net
