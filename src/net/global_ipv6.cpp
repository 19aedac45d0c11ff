#include "net/global_ipv6.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <algorithm>
#include <vector>

#include "net/ipv6_choice.h"

namespace crewmap::net {

QString GlobalIPv6Address() {
  std::vector<Ipv6Candidate> candidates;
  std::vector<QHostAddress> addresses;
  for (const QNetworkInterface& face : QNetworkInterface::allInterfaces()) {
    const auto flags = face.flags();
    for (const QNetworkAddressEntry& entry : face.addressEntries()) {
      const QHostAddress address = entry.ip();
      if (address.protocol() != QAbstractSocket::IPv6Protocol) continue;
      Ipv6Candidate c;
      const Q_IPV6ADDR bytes = address.toIPv6Address();
      std::copy(std::begin(bytes.c), std::end(bytes.c), c.bytes.begin());
      c.interfaceUp = (flags & QNetworkInterface::IsUp) && (flags & QNetworkInterface::IsRunning);
      c.loopback = flags & QNetworkInterface::IsLoopBack;
      c.temporary = entry.isTemporary();
      c.deprecated = entry.isLifetimeKnown() && entry.preferredLifetime().hasExpired();
      candidates.push_back(c);
      addresses.push_back(QHostAddress(bytes));  // without a scope
    }
  }
  const int chosen = ChooseGlobalIPv6(candidates);
  return chosen < 0 ? QString() : addresses[static_cast<std::size_t>(chosen)].toString();
}

}  // namespace crewmap::net
