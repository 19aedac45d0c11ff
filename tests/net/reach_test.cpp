// What members type to reach a host, and what the host tells its user about
// being reached: the address parsing, the diagnosis, the router's port search
// and renewals, and the choice of IPv6 address, as tables.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "net/diagnosis.h"
#include "net/host_port.h"
#include "net/ipv6_choice.h"
#include "net/router_rules.h"

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

RouterReport Mapped(const std::string& outside, int port, int tried = 1, bool permanent = false) {
  RouterReport r;
  r.portsTried = tried;
  r.permanent = permanent;
  r.mapping = MappingOutcome::Mapped;
  r.externalAddress = outside;
  r.externalPort = port;
  return r;
}

RouterReport Refused(const std::string& outside, int code, int tried = 1) {
  RouterReport r;
  r.portsTried = tried;
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
// forward a port, a double router taken for open, also in 10/8 or
// 172.16/12, another port not shown in the box), a box that changes where
// the router changed nothing, rows that leave out an address members can use
// or the failed lookup, an IPv6 address offered as reachable where the router
// opened nothing (or at all where it refused), a port search or a lease
// without end not said, and a glance that contradicts the rows.
TEST(Diagnosis, VerdictBoxRowsAndGlanceForEachLine) {
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
    std::string glance;
    EchoEnd echoEnd = EchoEnd::Answered;
  };
  const std::string v6Unconfirmed = "IPv6の接続先（未確認）: [2001:db8:1::5]:21212";
  const std::string v6Unknown = "IPv6の受け入れをルータで確かめられませんでした";
  const std::string refusedRows[] = {"ルータでTCP 21212を転送してください",
                                     "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください"};
  const std::vector<Case> cases = {
      {"router off: as before", "203.0.113.5", off, Verdict::Unknown, "203.0.113.5", {}, "ポート開放は未確認"},
      {"router off, endless reply cut off", "", off, Verdict::Unknown, "",
       {"公開アドレスの応答が長すぎるため中断しました", "公開アドレスを取得できませんでした"}, "ポート開放は未確認",
       EchoEnd::TooLong},
      {"router off, lookup failed", "", off, Verdict::Unknown, "", {"公開アドレスを取得できませんでした"}, "ポート開放は未確認"},
      {"open 1:1", "203.0.113.5", Mapped("203.0.113.5", 21212), Verdict::Open, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "ルータがポート21212を開きました"}, "ポート開放済み"},
      {"open with a lease without end", "203.0.113.5", Mapped("203.0.113.5", 21212, 1, true), Verdict::Open,
       "203.0.113.5", {"IPv4の接続先: 203.0.113.5:21212", "ルータがポート21212を開きました",
       "ルータが期限付きの転送を受け付けないため、期限なしで開きました（終了時に閉じます）"}, "ポート開放済み"},
      {"open, echo failed: the router's address", "", Mapped("203.0.113.5", 21212), Verdict::Open,
       "203.0.113.5",
       {"公開アドレスを取得できませんでした", "IPv4の接続先: 203.0.113.5:21212",
        "ルータがポート21212を開きました"}, "ポート開放済み"},
      {"another port", "203.0.113.5", Mapped("203.0.113.5", 20491), Verdict::OtherPort, "203.0.113.5:20491",
       {"IPv4の接続先: 203.0.113.5:20491", "ルータはポート21212を断り、ポート20491を開きました"}, "別のポートで開放済み"},
      {"IGD v1 port set found by the search; IPv6 unasked", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21196, 256), PinholeOutcome::NoService), Verdict::OtherPort,
       "203.0.113.5:21196", {"IPv4の接続先: 203.0.113.5:21196", v6Unconfirmed,
       "ルータが許すポートを探し、256回の問い合わせで見つけました",
       "ルータはポート21212を断り、ポート21196を開きました", v6Unknown}, "別のポートで開放済み"},
      {"the search found nothing", "203.0.113.5", Refused("203.0.113.5", 606, 256), Verdict::Refused,
       "203.0.113.5", {"IPv4の接続先: 203.0.113.5:21212", "ルータが許すポートを探しましたが、256回とも断られました",
       "ルータがポート開放を断りました（エラー606）", refusedRows[0], refusedRows[1]}, "ルータが拒否・要転送"},
      {"no router: IPv6 only unconfirmed", "203.0.113.5", WithIPv6(none, PinholeOutcome::NotTried),
       Verdict::NoRouter, "203.0.113.5", {"IPv4の接続先: 203.0.113.5:21212", v6Unconfirmed,
       "ルータが応答しません", refusedRows[0], refusedRows[1], v6Unknown}, "ルータ応答なし・要転送"},
      {"no router", "203.0.113.5", none, Verdict::NoRouter, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "ルータが応答しません", "ルータでTCP 21212を転送してください",
        "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください"}, "ルータ応答なし・要転送"},
      {"refused", "203.0.113.5", Refused("203.0.113.5", 718), Verdict::Refused, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212",
        "ルータがポート開放を断りました（エラー718）", "ルータでTCP 21212を転送してください",
        "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください"}, "ルータが拒否・要転送"},
      {"router behind a router", "203.0.113.5", Mapped("192.168.0.10", 21212), Verdict::DoubleRouter,
       "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212",
        "ルータの外側が内部アドレスです（192.168.0.10）", "前段のルータでTCP 21212を転送してください"},
       "二重ルータ・前段で転送"},
      {"router behind a router in 172.16/12", "203.0.113.5", Mapped("172.31.255.2", 21212), Verdict::DoubleRouter,
       "203.0.113.5", {"IPv4の接続先: 203.0.113.5:21212", "ルータの外側が内部アドレスです（172.31.255.2）",
       "前段のルータでTCP 21212を転送してください"}, "二重ルータ・前段で転送"},
      {"router behind a router in 10/8", "203.0.113.5", Mapped("10.200.1.2", 21212), Verdict::DoubleRouter,
       "203.0.113.5", {"IPv4の接続先: 203.0.113.5:21212", "ルータの外側が内部アドレスです（10.200.1.2）",
       "前段のルータでTCP 21212を転送してください"}, "二重ルータ・前段で転送"},
      {"carrier-grade NAT", "198.51.100.9", Mapped("100.64.3.4", 21212), Verdict::SharedIPv4, "198.51.100.9",
       {"IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください"}, "共有回線・ホスト不可"},
      {"carrier-grade NAT, echo failed: never its address in the box", "", Mapped("100.127.255.254", 21212),
       Verdict::SharedIPv4, "",
       {"公開アドレスを取得できませんでした",
        "IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください"}, "共有回線・ホスト不可"},
      {"shared line, the router offers no IPv6 firewall control", "198.51.100.9",
       WithIPv6(Mapped("100.64.3.4", 21212), PinholeOutcome::NoService), Verdict::SharedIPv4,
       "[2001:db8:1::5]:21212", {v6Unconfirmed, "IPv4は共有回線のため受け付けできません",
       "IPv6を使うか、別の回線のメンバーがホストしてください", v6Unknown}, "IPv6のみ・未確認"},
      {"edge of 100.64/10 is not shared", "100.128.0.1", Mapped("100.128.0.1", 21212), Verdict::Open,
       "100.128.0.1", {"IPv4の接続先: 100.128.0.1:21212", "ルータがポート21212を開きました"}, "ポート開放済み"},
      {"outside address differs from the echo, IPv6 pinhole", "198.51.100.9",
       WithIPv6(Mapped("203.0.113.5", 20491), PinholeOutcome::Opened), Verdict::SharedIPv4,
       "[2001:db8:1::5]:21212",
       {"IPv6の接続先: [2001:db8:1::5]:21212",
        "IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータがIPv6のポート21212を開きました"}, "IPv6のみ開放済み"},
      {"no IPv4 of its own (DS-Lite), pinhole refused: no IPv6 offered", "198.51.100.9",
       WithIPv6(Refused("0.0.0.0", 501), PinholeOutcome::Refused, 606), Verdict::SharedIPv4,
       "198.51.100.9",
       {"IPv4は共有回線のため受け付けできません",
        "IPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータがIPv6の受け入れを断りました（エラー606）"}, "共有回線・ホスト不可"},
      {"router that names no outside address and refuses (miniupnpd on a reserved WAN)", "198.51.100.9",
       WithIPv6(Refused("", 501), PinholeOutcome::Opened), Verdict::NoPublicIPv4, "[2001:db8:1::5]:21212",
       {"IPv6の接続先: [2001:db8:1::5]:21212", "ルータに公開IPv4アドレスがありません（エラー501）",
        "共有回線ならIPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータが二重なら前段のルータでTCP 21212を転送してください", "ルータがIPv6のポート21212を開きました"},
       "IPv6のみ開放済み"},
      {"echo page inside the carrier's shared space", "100.64.0.2", none, Verdict::SharedIPv4, "100.64.0.2",
       {"IPv4は共有回線のため受け付けできません", "IPv6を使うか、別の回線のメンバーがホストしてください"},
       "共有回線・ホスト不可"},
      {"IPv6 where the router lets nothing in: not offered", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21212), PinholeOutcome::NotAllowed), Verdict::Open, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212",
        "ルータがポート21212を開きました", "ルータはIPv6の受け入れを許していません"}, "ポート開放済み"},
      {"IPv6 without a firewall to open", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21212), PinholeOutcome::FirewallOff), Verdict::Open, "203.0.113.5",
       {"IPv4の接続先: 203.0.113.5:21212", "IPv6の接続先: [2001:db8:1::5]:21212",
        "ルータがポート21212を開きました", "ルータはIPv6を遮断していないと答えました"}, "ポート開放済み"},
      {"router without its outside address", "203.0.113.5", Mapped("", 20491), Verdict::OtherPort,
       "203.0.113.5:20491",
       {"IPv4の接続先: 203.0.113.5:20491", "ルータはポート21212を断り、ポート20491を開きました"}, "別のポートで開放済み"},
      {"echo page gave no address form", "(nothing)", Mapped("203.0.113.5", 21212), Verdict::Open,
       "(nothing)", {"IPv4の接続先: 203.0.113.5:21212", "ルータがポート21212を開きました"}, "ポート開放済み"},
  };
  for (const Case& c : cases) {
    const Diagnosis d = Diagnose(c.echo, c.router, 21212, c.echoEnd);
    EXPECT_EQ(d.verdict, c.verdict) << c.what;
    EXPECT_EQ(d.addressBox, c.box) << c.what;
    EXPECT_EQ(d.rows, c.rows) << c.what;
    // The glance: opened only where the router let members in.
    const bool opened = c.glance.find("開放済み") != std::string::npos;
    const bool unsure = c.glance.find("未確認") != std::string::npos;
    EXPECT_EQ(GlanceOf(d).text, c.glance) << c.what;
    EXPECT_EQ(GlanceOf(d).tone, opened ? GlanceTone::Opened : unsure ? GlanceTone::Unsure : GlanceTone::Act) << c.what;
    // Whatever the box shows, a member can type it.
    if (!d.addressBox.empty() && d.addressBox != "(nothing)") {
      EXPECT_TRUE(ParseHostPort(d.addressBox, 21212)) << c.what << ": " << d.addressBox;
    }
  }
}

// Catches a search that misses some MAP-E customer's set (a step other than
// 16, leaving the block or the offset), one past 256 requests or asking a
// port twice, the router's forwarded ports or the line's own set not tried first.
TEST(RouterRules, PortSearchReachesEveryMapESetWithin256Requests) {
  for (const int port : {21212, 80, 65535}) {
    std::vector<int> asked = PortSearchOrder(port);
    asked.insert(asked.begin(), port);
    std::set<int> runs;  // a customer (PSID) holds ports psid*16 + 0..15 of every block but 0
    for (const int p : asked) runs.insert(p >= 4096 ? p % 4096 / 16 : -1);
    EXPECT_EQ(std::set<int>(asked.begin(), asked.end()).size(), asked.size()) << port;
    EXPECT_EQ(runs.count(-1) + 256, runs.size()) << port;
  }
  const std::vector<int> order = PortSearchOrder(21212, {21190, 8900, 61440 + 1603, 21215});
  EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 3), (std::vector<int>{21196, 22092, 21228}));
  EXPECT_EQ(order.back(), 21180);
  // A MAP-E line's /56 names its set in the 7th byte: that run comes first.
  std::array<unsigned char, 16> prefix{0x24, 0x0b, 0x00, 0x10, 0x12, 0x34, 44};
  EXPECT_EQ(PortSearchOrder(21212, {MapEPortHint(prefix)}).front(), 21196);
}

// Catches a lease renewed when it runs out instead of at half time (it
// lapses), a refusal retried only a half lease later, renewals of nothing; a
// silent (restarting) router checked again only minutes later; a port search
// after a refusal no other port changes, or none after one it may (606 is
// miniupnpd's answer for a port outside the permitted set).
TEST(RouterRules, RenewalAtHalfTheLeaseAndSoonAfterARefusal) {
  EXPECT_EQ(SecondsUntilRenewal(3600, true, false), 1800);
  EXPECT_EQ(SecondsUntilRenewal(3600, true, true), 60);
  EXPECT_EQ(SecondsUntilRenewal(100, true, true), 50);
  EXPECT_EQ(SecondsUntilRenewal(3600, false, true), 0);
  EXPECT_TRUE(SecondsUntilCheck(180, true) == 180 && SecondsUntilCheck(180, false) == 30 && SecondsUntilCheck(3, false) == 3);
  // AddPortMapping refusals as routers send them, and whether another port may still be granted:
  // not authorized (miniupnpd: a port its rules deny), held by another device or by PCP/NAT-PMP;
  // action failed (miniupnpd whose firewall is not ready), invalid args, SamePortValuesRequired,
  // OnlyPermanentLeasesSupported (asked again without end instead), no ports left, no answer.
  const std::pair<int, bool> refusals[] = {{606, true},  {718, true},  {729, true},  {501, false}, {402, false},
                                           {724, false}, {725, false}, {728, false}, {-3, false}};
  for (const auto& [code, otherPortMayDo] : refusals) EXPECT_EQ(RefusalDependsOnPort(code), otherPortMayDo) << code;
}

// A later check's rows. Catches: none for a mapping made again or a new
// address, two where one says it, one when nothing changed.
TEST(Diagnosis, OneRowForWhatAReCheckChanged) {
  const Diagnosis open = Diagnose("203.0.113.5", Mapped("203.0.113.5", 21212), 21212);
  Diagnosis noRouter = open;
  noRouter.verdict = Verdict::NoRouter;
  using Rows = std::vector<std::string>;
  EXPECT_EQ(ChangeRows(open, open, false, false, 0), Rows{});
  EXPECT_EQ(ChangeRows(open, Diagnose("198.51.100.7", Mapped("198.51.100.7", 21212), 21212), false, false, 0),
            Rows{"接続先が変わりました: 198.51.100.7"});
  EXPECT_EQ(ChangeRows(open, open, true, false, 0), Rows{"ルータのポート開放が消えていたため、開き直しました"});
  EXPECT_EQ(ChangeRows(open, Diagnose("203.0.113.5", Mapped("203.0.113.5", 21228), 21212), true, false, 0),
            Rows{"ルータのポート開放が消えていたため、開き直しました（新しい接続先: 203.0.113.5:21228）"});
  EXPECT_EQ(ChangeRows(open, open, false, true, 718), Rows{"ルータのポート開放が消え、開き直せませんでした（エラー718）"});
  EXPECT_EQ(ChangeRows(noRouter, open, false, false, 0), Rows{"ルータがポート21212を開きました"});
}

// Catches the temporary (privacy) address chosen over the stable one (it
// stops working within a day), and addresses members cannot reach chosen:
// deprecated, link-local, Teredo, loopback, on an interface that is down.
TEST(Ipv6Choice, StableGlobalAddressOfAnInterfaceThatIsUp) {
  auto at = [](unsigned char b0, unsigned char b1, bool temporary = false) {
    Ipv6Candidate c;
    c.bytes[0] = b0, c.bytes[1] = b1, c.bytes[15] = 5, c.temporary = temporary;
    return c;
  };
  const Ipv6Candidate stable = at(0x24, 0), temporary = at(0x24, 0, true), linkLocal = at(0xfe, 0x80),
                      teredo = at(0x20, 0x01);
  Ipv6Candidate deprecated = stable, down = stable, loopback = stable;
  deprecated.deprecated = true, down.interfaceUp = false, loopback.loopback = true;
  EXPECT_EQ(ChooseGlobalIPv6({temporary, stable}), 1);
  EXPECT_EQ(ChooseGlobalIPv6({stable, temporary}), 0);
  EXPECT_EQ(ChooseGlobalIPv6({linkLocal, temporary}), 1);
  EXPECT_EQ(ChooseGlobalIPv6({deprecated, down, loopback, linkLocal, teredo}), -1);
}

}  // namespace
}  // namespace crewmap::net
