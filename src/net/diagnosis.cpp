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

Diagnosis Diagnose(const std::string& echoAddress, const RouterReport& router, int port, EchoEnd echoEnd) {
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

  // IPv6 is offered where the router let it in, marked where the router
  // said nothing (most home routers drop incoming IPv6 unless asked), and
  // not at all where it refused.
  if (!router.ipv6Address.empty() && d.verdict != Verdict::Unknown) {
    switch (router.pinhole) {
      case PinholeOutcome::Opened:
      case PinholeOutcome::FirewallOff:
        d.ipv6 = Ipv6Offer::Opened;
        break;
      case PinholeOutcome::NotTried:
      case PinholeOutcome::NoService:
        d.ipv6 = Ipv6Offer::Unconfirmed;
        break;
      case PinholeOutcome::NotAllowed:
      case PinholeOutcome::Refused:
        break;
    }
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
  const std::string v6Endpoint = FormatHostPort(router.ipv6Address, port, port);
  if (noIPv4 && d.ipv6 != Ipv6Offer::None) d.addressBox = v6Endpoint;

  if (echoEnd == EchoEnd::TooLong) d.rows.push_back("公開アドレスの応答が長すぎるため中断しました");
  if (echoAddress.empty()) d.rows.push_back("公開アドレスを取得できませんでした");
  // With the router not asked the log stays as it always was.
  if (d.verdict == Verdict::Unknown) return d;
  if (!publicV4.empty() && !noIPv4)
    d.rows.push_back("IPv4の接続先: " + publicV4 + ":" + Port(v4Port));
  if (d.ipv6 == Ipv6Offer::Opened) d.rows.push_back("IPv6の接続先: " + v6Endpoint);
  if (d.ipv6 == Ipv6Offer::Unconfirmed) d.rows.push_back("IPv6の接続先（未確認）: " + v6Endpoint);

  if (routerAnswered && router.portsTried > 1)
    d.rows.push_back(router.mapping == MappingOutcome::Mapped
                         ? "ルータが許すポートを探し、" + Port(router.portsTried) + "回の問い合わせで見つけました"
                         : "ルータが許すポートを探しましたが、" + Port(router.portsTried) + "回とも断られました");

  const std::string mapeHint =
      "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください";
  const std::string forward = "ルータでTCP " + Port(port) + "を転送してください";
  const std::size_t verdictRow = d.rows.size();
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
  if (d.rows.size() > verdictRow) d.headline = d.rows[verdictRow];
  if (router.mapping == MappingOutcome::Mapped && router.permanent)
    d.rows.push_back("ルータが期限付きの転送を受け付けないため、期限なしで開きました（終了時に閉じます）");

  if (!router.ipv6Address.empty()) {
    switch (router.pinhole) {
      case PinholeOutcome::Opened:
        d.rows.push_back("ルータがIPv6のポート" + Port(port) + "を開きました");
        break;
      case PinholeOutcome::FirewallOff:
        d.rows.push_back("ルータはIPv6を遮断していないと答えました");
        break;
      case PinholeOutcome::Refused:
        d.rows.push_back("ルータがIPv6の受け入れを断りました（エラー" + Port(router.pinholeError) + "）");
        break;
      case PinholeOutcome::NotAllowed:
        d.rows.push_back("ルータはIPv6の受け入れを許していません");
        break;
      case PinholeOutcome::NotTried:
      case PinholeOutcome::NoService:
        d.rows.push_back("IPv6の受け入れをルータで確かめられませんでした");
        break;
    }
  }
  return d;
}

std::vector<std::string> ChangeRows(const Diagnosis& before, const Diagnosis& after, bool remade, bool lost,
                                    int errorCode) {
  const bool moved = after.addressBox != before.addressBox && !after.addressBox.empty();
  std::vector<std::string> rows;
  if (remade)
    rows.push_back(moved ? "ルータのポート開放が消えていたため、開き直しました（新しい接続先: " + after.addressBox + "）"
                         : "ルータのポート開放が消えていたため、開き直しました");
  if (lost) rows.push_back("ルータのポート開放が消え、開き直せませんでした（エラー" + Port(errorCode) + "）");
  if (moved && !remade) rows.push_back("接続先が変わりました: " + after.addressBox);
  if (rows.empty() && after.verdict != before.verdict && !after.headline.empty()) rows.push_back(after.headline);
  return rows;
}

Glance GlanceOf(const Diagnosis& d) {
  switch (d.verdict) {
    case Verdict::Unknown:
      return {"ポート開放は未確認", GlanceTone::Unsure};
    case Verdict::Open:
      return {"ポート開放済み", GlanceTone::Opened};
    case Verdict::OtherPort:
      return {"別のポートで開放済み", GlanceTone::Opened};
    case Verdict::NoRouter:
      return {"ルータ応答なし・要転送", GlanceTone::Act};
    case Verdict::Refused:
      return {"ルータが拒否・要転送", GlanceTone::Act};
    case Verdict::DoubleRouter:
      return {"二重ルータ・前段で転送", GlanceTone::Act};
    case Verdict::SharedIPv4:
    case Verdict::NoPublicIPv4:
      break;
  }
  // No IPv4 to offer: IPv6 decides.
  switch (d.ipv6) {
    case Ipv6Offer::Opened:
      return {"IPv6のみ開放済み", GlanceTone::Opened};
    case Ipv6Offer::Unconfirmed:
      return {"IPv6のみ・未確認", GlanceTone::Unsure};
    case Ipv6Offer::None:
      break;
  }
  return {d.verdict == Verdict::SharedIPv4 ? "共有回線・ホスト不可" : "公開IPv4なし・要確認", GlanceTone::Act};
}

}  // namespace crewmap::net
