#pragma once
// What the files of the Winsock control share: the classic control's error
// numbers, Qt's socket errors mapped onto them, and how a peer's address is
// shown. Only the control's own files include this.
#include <QAbstractSocket>
#include <QHostAddress>
#include <QString>

namespace crewmap::net {

// Error numbers of the classic control, so messages and logs read the same.
inline constexpr int kErrBadState = 40006;
inline constexpr int kErrInvalidArgument = 40014;
inline constexpr int kErrAddressInUse = 10048;
inline constexpr int kErrNetworkDown = 10050;
inline constexpr int kErrConnectionAborted = 10053;
inline constexpr int kErrConnectionReset = 10054;
inline constexpr int kErrTimedOut = 10060;
inline constexpr int kErrConnectionRefused = 10061;
inline constexpr int kErrHostNotFound = 11001;

inline int ErrorNumber(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return kErrConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError: return kErrConnectionAborted;
    case QAbstractSocket::HostNotFoundError: return kErrHostNotFound;
    case QAbstractSocket::SocketTimeoutError: return kErrTimedOut;
    case QAbstractSocket::AddressInUseError: return kErrAddressInUse;
    case QAbstractSocket::NetworkError: return kErrNetworkDown;
    default: return kErrConnectionReset;
  }
}

// IPv4 peers without the ::ffff: prefix.
inline QString PeerText(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  if (isV4) return QHostAddress(v4).toString();
  return address.toString();
}

}  // namespace crewmap::net
