// What members type to reach a host, and what the host tells its user about
// being reached: the address parsing and the diagnosis as tables.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "net/diagnosis.h"
#include "net/host_port.h"

namespace crewmap::net {
namespace {

// Catches: a port taken from a bare IPv6 address's last group, brackets or
// ports accepted in malformed forms (empty, zero, too large, signed, blanks),
// a default port not applied, a host check skipped for the host part, and
// an address typed with the input method on refused (its colon full-width).
TEST(HostPort, FormsAndMalformedEntries) {
  struct Case {
    const char* typed;
    std::optional<HostPort> expected;
  };
  const std::vector<Case> cases = {
      {"203.0.113.5", HostPort{"203.0.113.5", 21212}},
      {"  203.0.113.5:20491 ", HostPort{"203.0.113.5", 20491}},
      {"host.example:1", HostPort{"host.example", 1}},
      {"host.example:65535", HostPort{"host.example", 65535}},
      {"[2001:db8::5]", HostPort{"2001:db8::5", 21212}},
      {"[2001:db8::5]:20491", HostPort{"2001:db8::5", 20491}},
      {"2001:db8::5", HostPort{"2001:db8::5", 21212}},  // bare: no port
      {"::1", HostPort{"::1", 21212}},
      {"[::ffff:192.0.2.1]:80", HostPort{"::ffff:192.0.2.1", 80}},
      {"", std::nullopt},
      {":21212", std::nullopt},
      {"203.0.113.5:", std::nullopt},
      {"203.0.113.5:0", std::nullopt},
      {"203.0.113.5:65536", std::nullopt},
      {"203.0.113.5:099999", std::nullopt},
      {"203.0.113.5:+80", std::nullopt},
      {"203.0.113.5:-1", std::nullopt},
      {"203.0.113.5: 80", std::nullopt},
      {"203.0.113.5 :80", std::nullopt},
      {"203.0.113.5:80x", std::nullopt},
      {"999.0.113.5:80", std::nullopt},  // digits and dots: a mistyped IPv4 address
      {"[203.0.113.5]:80", std::nullopt},  // brackets are for IPv6 only
      {"[2001:db8::5", std::nullopt},
      {"[2001:db8::5]80", std::nullopt},
      {"[2001:db8::5]:", std::nullopt},
      {"[2001:db8::5]:80:80", std::nullopt},
      {"[]:80", std::nullopt},
      {"[host.example]:80", std::nullopt},
      {"2001:db8::5:99999", std::nullopt},
      {"2001:db8:::5", std::nullopt},
      {"host name:80", std::nullopt},
      // Typed with the input method on: full-width forms read as ASCII.
      {"127.0.0.1：21212", HostPort{"127.0.0.1", 21212}},
      {"　１２７．０．０．１：２０４９１　", HostPort{"127.0.0.1", 20491}},
      {"203。0。113。5", HostPort{"203.0.113.5", 21212}},
      {"［2001:db8::5］：80", HostPort{"2001:db8::5", 80}},
      {"127.0.0.1：", std::nullopt},
      {"127.0.0.1：ー1", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = ParseHostPort(c.typed, 21212);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << '"' << c.typed << '"';
    if (got) {
      EXPECT_EQ(got->host, c.expected->host) << c.typed;
      EXPECT_EQ(got->port, c.expected->port) << c.typed;
    }
  }
  // What the host shows reads back as the same host and port.
  for (const auto& [host, port] : std::vector<std::pair<std::string, int>>{
           {"203.0.113.5", 21212}, {"203.0.113.5", 20491}, {"2001:db8::5", 21212}, {"2001:db8::5", 80}}) {
    const auto back = ParseHostPort(FormatHostPort(host, port, 21212), 21212);
    ASSERT_TRUE(back) << FormatHostPort(host, port, 21212);
    EXPECT_EQ(back->host, host);
    EXPECT_EQ(back->port, port);
  }
}

RouterReport Mapped(const std::string& outside, int port) {
  RouterReport r;
  r.mapping = MappingOutcome::Mapped;
  r.externalAddress = outside;
  r.externalPort = port;
  return r;
}

RouterReport Refused(const std::string& outside, int code) {
  RouterReport r;
  r.mapping = MappingOutcome::Refused;
  r.externalAddress = outside;
  r.errorCode = code;
  return r;
}

RouterReport WithIPv6(RouterReport r, PinholeOutcome pinhole, int error = 0) {
  r.ipv6Address = "2001:db8:1::5";
  r.pinhole = pinhole;
  r.pinholeError = error;
  return r;
}

// Catches a wrong verdict for each kind of line (a shared IPv4 line told to
// forward a port, a double router taken for open, another port not shown in
// the box), a box that changes where the router changed nothing, and rows
// that leave out an address members can use or the failed lookup.
TEST(Diagnosis, VerdictBoxAndRowsForEachLine) {
  RouterReport off;  // UPNP=0
  RouterReport none;
  none.mapping = MappingOutcome::NoRouter;
  struct Case {
    const char* what;
    std::string echo;
    RouterReport router;
    Verdict verdict;
    std::string box;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      {"router off: as before", "203.0.113.5", off, Verdict::Unknown, "203.0.113.5", {}},
      {"router off, lookup failed", "", off, Verdict::Unknown, "", {"公開アドレスを取得できませんでした"}},
      {"open 1:1", "203.0.113.5", Mapped("203.0.113.5", 21212), Verdict::Open, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "ルータがポート21212を開きました"}},
      {"open, echo failed: the router's address", "", Mapped("203.0.113.5", 21212), Verdict::Open,
       "203.0.113.5",
       {"公開アドレスを取得できませんでした", "IPv4の接続先: 203.0.113.5:21212",
        "ルータがポート21212を開きました"}},
      {"another port", "203.0.113.5", Mapped("203.0.113.5", 20491), Verdict::OtherPort, "203.0.113.5:20491",
       {"IPv4の接続先: 203.0.113.5:20491", "ルータはポート21212を断り、ポート20491を開きました"}},
      {"no router", "203.0.113.5", none, Verdict::NoRouter, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "ルータが応答しません", "ルータでTCP 21212を転送してください",
        "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください"}},
      {"refused", "203.0.113.5", Refused("203.0.113.5", 718), Verdict::Refused, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212",
        "ルータがポート開放を断りました（エラー718）", "ルータでTCP 21212を転送してください",
        "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください"}},
      {"router behind a router", "203.0.113.5", Mapped("192.168.0.10", 21212), Verdict::DoubleRouter,
       "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212",
        "ルータの外側が内部アドレスです（192.168.0.10）", "前段のルータでTCP 21212を転送してください"}},
      {"carrier-grade NAT", "198.51.100.9", Mapped("100.64.3.4", 21212), Verdict::SharedIPv4, "198.51.100.9",
       {"IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください"}},
      {"carrier-grade NAT, echo failed: never its address in the box", "", Mapped("100.127.255.254", 21212),
       Verdict::SharedIPv4, "",
       {"公開アドレスを取得できませんでした",
        "IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください"}},
      {"edge of 100.64/10 is not shared", "100.128.0.1", Mapped("100.128.0.1", 21212), Verdict::Open,
       "100.128.0.1", {"IPv4の接続先: 100.128.0.1:21212", "ルータがポート21212を開きました"}},
      {"outside address differs from the echo, IPv6 pinhole", "198.51.100.9",
       WithIPv6(Mapped("203.0.113.5", 20491), PinholeOutcome::Opened), Verdict::SharedIPv4,
       "[2001:db8:1::5]:21212",
       {"IPv6の接続先: [2001:db8:1::5]:21212",
        "IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータがIPv6のポート21212を開きました"}},
      {"no IPv4 of its own (DS-Lite)", "198.51.100.9",
       WithIPv6(Refused("0.0.0.0", 501), PinholeOutcome::Refused, 606), Verdict::SharedIPv4,
       "[2001:db8:1::5]:21212",
       {"IPv6の接続先: [2001:db8:1::5]:21212",
        "IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータがIPv6の受け入れを断りました（エラー606）"}},
      {"router that names no outside address and refuses (miniupnpd on a reserved WAN)", "198.51.100.9",
       WithIPv6(Refused("", 501), PinholeOutcome::Opened), Verdict::NoPublicIPv4, "[2001:db8:1::5]:21212",
       {"IPv6の接続先: [2001:db8:1::5]:21212", "ルータに公開IPv4アドレスがありません（エラー501）",
        "共有回線ならIPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータが二重なら前段のルータでTCP 21212を転送してください", "ルータがIPv6のポート21212を開きました"}},
      {"echo page inside the carrier's shared space", "100.64.0.2", none, Verdict::SharedIPv4, "100.64.0.2",
       {"IPv4は共有回線のため受け付けできません", "IPv6を使うか、別の回線のメンバーがホストしてください"}},
      {"IPv6 where the router lets nothing in", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21212), PinholeOutcome::NotAllowed), Verdict::Open, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "IPv6の接続先: [2001:db8:1::5]:21212",
        "ルータがポート21212を開きました", "ルータはIPv6の受け入れを許していません"}},
      {"IPv6 without a firewall to open", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21212), PinholeOutcome::FirewallOff), Verdict::Open, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "IPv6の接続先: [2001:db8:1::5]:21212",
        "ルータがポート21212を開きました"}},
      {"router without its outside address", "203.0.113.5", Mapped("", 20491), Verdict::OtherPort,
       "203.0.113.5:20491",
       {"IPv4の接続先: 203.0.113.5:20491", "ルータはポート21212を断り、ポート20491を開きました"}},
      {"echo page gave no address form", "(nothing)", Mapped("203.0.113.5", 21212), Verdict::Open,
       "(nothing)", {"IPv4の接続先: 203.0.113.5:21212", "ルータがポート21212を開きました"}},
  };
  for (const Case& c : cases) {
    const Diagnosis d = Diagnose(c.echo, c.router, 21212);
    EXPECT_EQ(d.verdict, c.verdict) << c.what;
    EXPECT_EQ(d.addressBox, c.box) << c.what;
    EXPECT_EQ(d.rows, c.rows) << c.what;
    // Whatever the box shows, a member can type it.
    if (!d.addressBox.empty() && d.addressBox != "(nothing)") {
      EXPECT_TRUE(ParseHostPort(d.addressBox, 21212)) << c.what << ": " << d.addressBox;
    }
  }
}

}  // namespace
}  // namespace crewmap::net
