#include "net/diagnosis.h"

#include "net/address_extract.h"
#include "net/host_port.h"

namespace crewmap::net {
namespace {

bool InRange(unsigned long address, unsigned long network, int prefix) {
  const unsigned long mask = prefix == 0 ? 0 : (0xFFFFFFFFul << (32 - prefix)) & 0xFFFFFFFFul;
  return (address & mask) == network;
}

// 100.64.0.0/10: the carrier's own shared address space.
bool IsCarrierShared(unsigned long a) { return InRange(a, 0x64400000ul, 10); }

// RFC 1918 space, and link-local: an address that only a LAN can reach.
bool IsPrivate(unsigned long a) {
  return InRange(a, 0x0A000000ul, 8) || InRange(a, 0xAC100000ul, 12) || InRange(a, 0xC0A80000ul, 16) ||
         InRange(a, 0xA9FE0000ul, 16);
}

std::string Port(int port) { return std::to_string(port); }

}  // namespace

std::optional<unsigned long> ParseIPv4(const std::string& text) {
  if (text.find(':') != std::string::npos || !IsBareIpAddress(text)) return std::nullopt;
  unsigned long value = 0;
  unsigned long part = 0;
  for (const char c : text) {
    if (c == '.') {
      value = (value << 8) | part;
      part = 0;
    } else {
      part = part * 10 + static_cast<unsigned long>(c - '0');
    }
  }
  return ((value << 8) | part) & 0xFFFFFFFFul;
}

Diagnosis Diagnose(const std::string& echoAddress, const RouterReport& router, int port) {
  Diagnosis d;
  d.addressBox = echoAddress;
  const std::optional<unsigned long> echo = ParseIPv4(echoAddress);
  const std::optional<unsigned long> outside = ParseIPv4(router.externalAddress);

  const bool routerAnswered =
      router.mapping == MappingOutcome::Mapped || router.mapping == MappingOutcome::Refused;
  if (router.mapping == MappingOutcome::NotTried) {
    d.verdict = Verdict::Unknown;
  } else if (echo && IsCarrierShared(*echo)) {
    d.verdict = Verdict::SharedIPv4;  // even the echo page sees the carrier's address
  } else if (router.mapping == MappingOutcome::NoRouter) {
    d.verdict = Verdict::NoRouter;
  } else if (outside && (*outside == 0 || IsCarrierShared(*outside))) {
    // 0.0.0.0: the router has no IPv4 address of its own (IPv4 over a tunnel).
    d.verdict = Verdict::SharedIPv4;
  } else if (outside && IsPrivate(*outside)) {
    d.verdict = Verdict::DoubleRouter;
  } else if (outside && echo && *outside != *echo) {
    // The internet sees another address than the router holds: the line
    // shares it further out.
    d.verdict = Verdict::SharedIPv4;
  } else if (router.mapping == MappingOutcome::Mapped) {
    d.verdict = router.externalPort == port ? Verdict::Open : Verdict::OtherPort;
  } else if (!outside) {
    // Routers keep a carrier's or another router's address to themselves
    // and refuse every mapping: which of the two cannot be told.
    d.verdict = Verdict::NoPublicIPv4;
  } else {
    d.verdict = Verdict::Refused;
  }

  // The public IPv4 address: the echo page's, else the router's own when it
  // is a public one.
  std::string publicV4;
  if (echo)
    publicV4 = echoAddress;
  else if (routerAnswered && outside && *outside != 0 && !IsCarrierShared(*outside) && !IsPrivate(*outside))
    publicV4 = router.externalAddress;
  const int v4Port = d.verdict == Verdict::OtherPort ? router.externalPort : port;

  // The box keeps the echo page's answer unless more is known: another
  // port, an address only the router told, or IPv4 that cannot be reached.
  const bool noIPv4 = d.verdict == Verdict::SharedIPv4 || d.verdict == Verdict::NoPublicIPv4;
  if (!publicV4.empty() && (d.verdict == Verdict::OtherPort || echoAddress.empty()) && !noIPv4)
    d.addressBox = FormatHostPort(publicV4, v4Port, port);
  if (noIPv4 && !router.ipv6Address.empty())
    d.addressBox = FormatHostPort(router.ipv6Address, port, port);

  if (echoAddress.empty()) d.rows.push_back("公開アドレスを取得できませんでした");
  // With the router not asked the log stays as it always was.
  if (d.verdict == Verdict::Unknown) return d;
  if (!publicV4.empty() && !noIPv4)
    d.rows.push_back("IPv4の接続先: " + publicV4 + ":" + Port(v4Port));
  if (!router.ipv6Address.empty())
    d.rows.push_back("IPv6の接続先: " + FormatHostPort(router.ipv6Address, port, port));

  const std::string mapeHint =
      "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください";
  const std::string forward = "ルータでTCP " + Port(port) + "を転送してください";
  switch (d.verdict) {
    case Verdict::Unknown:
      break;
    case Verdict::Open:
      d.rows.push_back("ルータがポート" + Port(port) + "を開きました");
      break;
    case Verdict::OtherPort:
      d.rows.push_back("ルータはポート" + Port(port) + "を断り、ポート" + Port(router.externalPort) +
                       "を開きました");
      break;
    case Verdict::NoRouter:
      d.rows.push_back("ルータが応答しません");
      d.rows.push_back(forward);
      d.rows.push_back(mapeHint);
      break;
    case Verdict::Refused:
      d.rows.push_back("ルータがポート開放を断りました（エラー" + Port(router.errorCode) + "）");
      d.rows.push_back(forward);
      d.rows.push_back(mapeHint);
      break;
    case Verdict::DoubleRouter:
      d.rows.push_back("ルータの外側が内部アドレスです（" + router.externalAddress + "）");
      d.rows.push_back("前段のルータでTCP " + Port(port) + "を転送してください");
      break;
    case Verdict::SharedIPv4:
      d.rows.push_back("IPv4は共有回線のため受け付けできません");
      d.rows.push_back("IPv6を使うか、別の回線のメンバーがホストしてください");
      break;
    case Verdict::NoPublicIPv4:
      d.rows.push_back("ルータに公開IPv4アドレスがありません（エラー" + Port(router.errorCode) + "）");
      d.rows.push_back("共有回線ならIPv6を使うか、別の回線のメンバーがホストしてください");
      d.rows.push_back("ルータが二重なら前段のルータでTCP " + Port(port) + "を転送してください");
      break;
  }

  if (!router.ipv6Address.empty()) {
    switch (router.pinhole) {
      case PinholeOutcome::Opened:
        d.rows.push_back("ルータがIPv6のポート" + Port(port) + "を開きました");
        break;
      case PinholeOutcome::Refused:
        d.rows.push_back("ルータがIPv6の受け入れを断りました（エラー" + Port(router.pinholeError) + "）");
        break;
      case PinholeOutcome::NotAllowed:
        d.rows.push_back("ルータはIPv6の受け入れを許していません");
        break;
      case PinholeOutcome::NotTried:
      case PinholeOutcome::NoService:
      case PinholeOutcome::FirewallOff:
        break;
    }
  }
  return d;
}

}  // namespace crewmap::net
