// What members type to reach a host, and what the host tells its user about
// being reached: the address parsing, the diagnosis, the router's port search
// and renewals, and the choice of IPv6 address, as tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "net/diagnosis.h"
#include "net/host_port.h"
#include "net/ipv6_choice.h"
#include "net/router_rules.h"

namespace crewmap::net {
namespace {

// Catches: a port taken from a bare IPv6 address's last group, brackets or
// ports accepted in malformed forms (empty, zero, too large, signed, blanks),
// a default port not applied, and a host check skipped for the host part.
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
  r.mapping = MappingOutcome::Mapped;
  r.externalAddress = outside;
  r.externalPort = port;
  r.portsTried = tried;
  r.permanent = permanent;
  return r;
}

RouterReport Refused(const std::string& outside, int code, int tried = 1) {
  RouterReport r;
  r.mapping = MappingOutcome::Refused;
  r.externalAddress = outside;
  r.errorCode = code;
  r.portsTried = tried;
  return r;
}

RouterReport WithIPv6(RouterReport r, PinholeOutcome pinhole, int error = 0) {
  r.ipv6Address = "2001:db8:1::5";
  r.pinhole = pinhole;
  r.pinholeError = error;
  return r;
}

// Catches a wrong verdict for each kind of line (a shared IPv4 line told to
// forward a port, a double router taken for open, also behind a router in
// 10/8 or 172.16/12, another port not shown in the box), a box that changes
// where the router changed nothing, rows that leave out an address members
// can use or the failed lookup, an IPv6 address offered as reachable where
// the router opened nothing (or offered at all where it refused), a port
// search or a lease without end not said, and a glance beside the box that
// contradicts the rows.
TEST(Diagnosis, VerdictBoxGlanceAndRowsForEachLine) {
  RouterReport off;  // UPNP=0
  RouterReport none;
  none.mapping = MappingOutcome::NoRouter;
  const std::string v4 = "IPv4の接続先: 203.0.113.5:21212";
  const std::string v6 = "IPv6の接続先: [2001:db8:1::5]:21212";
  const std::string v6Unconfirmed = "IPv6の接続先（未確認）: [2001:db8:1::5]:21212";
  const std::string v6Unknown = "IPv6の受け入れをルータで確かめられませんでした";
  const std::string opened = "ルータがポート21212を開きました";
  const std::string forward = "ルータでTCP 21212を転送してください";
  const std::string mape = "MAP-E回線では使えるポートを転送し「アドレス:ポート」を伝えてください";
  const std::string shared = "IPv4は共有回線のため受け付けできません";
  const std::string sharedAdvice = "IPv6を使うか、別の回線のメンバーがホストしてください";
  const std::string noEcho = "公開アドレスを取得できませんでした";
  struct Case {
    const char* what;
    std::string echo;
    RouterReport router;
    Verdict verdict;
    std::string box;
    std::string glance;
    std::vector<std::string> rows;
    EchoEnd echoEnd = EchoEnd::Answered;
  };
  const std::vector<Case> cases = {
      {"router off: as before", "203.0.113.5", off, Verdict::Unknown, "203.0.113.5", "ポート開放は未確認", {}},
      {"router off, lookup failed", "", off, Verdict::Unknown, "", "ポート開放は未確認", {noEcho}},
      {"router off, endless reply cut off", "", off, Verdict::Unknown, "", "ポート開放は未確認",
       {"公開アドレスの応答が長すぎるため中断しました", noEcho}, EchoEnd::TooLong},
      {"open 1:1", "203.0.113.5", Mapped("203.0.113.5", 21212), Verdict::Open, "203.0.113.5", "ポート開放済み",
       {v4, opened}},
      {"open, echo failed: the router's address", "", Mapped("203.0.113.5", 21212), Verdict::Open,
       "203.0.113.5", "ポート開放済み", {noEcho, v4, opened}},
      {"open with a lease without end", "203.0.113.5", Mapped("203.0.113.5", 21212, 1, true), Verdict::Open,
       "203.0.113.5", "ポート開放済み",
       {v4, opened, "ルータが期限付きの転送を受け付けないため、期限なしで開きました（終了時に閉じます）"}},
      {"another port", "203.0.113.5", Mapped("203.0.113.5", 20491), Verdict::OtherPort, "203.0.113.5:20491",
       "別のポートで開放済み",
       {"IPv4の接続先: 203.0.113.5:20491", "ルータはポート21212を断り、ポート20491を開きました"}},
      {"IGD v1 port set found by the search; IPv6 unasked", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21196, 256), PinholeOutcome::NoService), Verdict::OtherPort,
       "203.0.113.5:21196", "別のポートで開放済み",
       {"IPv4の接続先: 203.0.113.5:21196", v6Unconfirmed,
        "ルータが許すポートを探し、256回の問い合わせで見つけました",
        "ルータはポート21212を断り、ポート21196を開きました", v6Unknown}},
      {"the search found nothing", "203.0.113.5", Refused("203.0.113.5", 606, 256), Verdict::Refused,
       "203.0.113.5", "ルータが拒否・要転送",
       {v4, "ルータが許すポートを探しましたが、256回とも断られました",
        "ルータがポート開放を断りました（エラー606）", forward, mape}},
      {"no router", "203.0.113.5", none, Verdict::NoRouter, "203.0.113.5", "ルータ応答なし・要転送",
       {v4, "ルータが応答しません", forward, mape}},
      {"no router: IPv6 only unconfirmed", "203.0.113.5", WithIPv6(none, PinholeOutcome::NotTried),
       Verdict::NoRouter, "203.0.113.5", "ルータ応答なし・要転送",
       {v4, v6Unconfirmed, "ルータが応答しません", forward, mape, v6Unknown}},
      {"refused", "203.0.113.5", Refused("203.0.113.5", 718), Verdict::Refused, "203.0.113.5",
       "ルータが拒否・要転送", {v4, "ルータがポート開放を断りました（エラー718）", forward, mape}},
      {"router behind a router", "203.0.113.5", Mapped("192.168.0.10", 21212), Verdict::DoubleRouter,
       "203.0.113.5", "二重ルータ・前段で転送",
       {v4, "ルータの外側が内部アドレスです（192.168.0.10）", "前段のルータでTCP 21212を転送してください"}},
      {"router behind a router in 172.16/12", "203.0.113.5", Mapped("172.31.255.2", 21212),
       Verdict::DoubleRouter, "203.0.113.5", "二重ルータ・前段で転送",
       {v4, "ルータの外側が内部アドレスです（172.31.255.2）", "前段のルータでTCP 21212を転送してください"}},
      {"router behind a router in 10/8", "203.0.113.5", Mapped("10.200.1.2", 21212), Verdict::DoubleRouter,
       "203.0.113.5", "二重ルータ・前段で転送",
       {v4, "ルータの外側が内部アドレスです（10.200.1.2）", "前段のルータでTCP 21212を転送してください"}},
      {"172.32/16 is public", "172.32.0.1", Mapped("172.32.0.1", 21212), Verdict::Open, "172.32.0.1",
       "ポート開放済み", {"IPv4の接続先: 172.32.0.1:21212", opened}},
      {"carrier-grade NAT", "198.51.100.9", Mapped("100.64.3.4", 21212), Verdict::SharedIPv4, "198.51.100.9",
       "共有回線・ホスト不可", {shared, sharedAdvice}},
      {"carrier-grade NAT, echo failed: never its address in the box", "", Mapped("100.127.255.254", 21212),
       Verdict::SharedIPv4, "", "共有回線・ホスト不可", {noEcho, shared, sharedAdvice}},
      {"edge of 100.64/10 is not shared", "100.128.0.1", Mapped("100.128.0.1", 21212), Verdict::Open,
       "100.128.0.1", "ポート開放済み", {"IPv4の接続先: 100.128.0.1:21212", opened}},
      {"outside address differs from the echo, IPv6 pinhole", "198.51.100.9",
       WithIPv6(Mapped("203.0.113.5", 20491), PinholeOutcome::Opened), Verdict::SharedIPv4,
       "[2001:db8:1::5]:21212", "IPv6のみ開放済み",
       {v6, shared, sharedAdvice, "ルータがIPv6のポート21212を開きました"}},
      {"shared line, the router offers no IPv6 firewall control", "198.51.100.9",
       WithIPv6(Mapped("100.64.3.4", 21212), PinholeOutcome::NoService), Verdict::SharedIPv4,
       "[2001:db8:1::5]:21212", "IPv6のみ・未確認", {v6Unconfirmed, shared, sharedAdvice, v6Unknown}},
      {"no IPv4 of its own (DS-Lite), pinhole refused: no IPv6 offered", "198.51.100.9",
       WithIPv6(Refused("0.0.0.0", 501), PinholeOutcome::Refused, 606), Verdict::SharedIPv4, "198.51.100.9",
       "共有回線・ホスト不可", {shared, sharedAdvice, "ルータがIPv6の受け入れを断りました（エラー606）"}},
      {"router that names no outside address and refuses (miniupnpd on a reserved WAN)", "198.51.100.9",
       WithIPv6(Refused("", 501), PinholeOutcome::Opened), Verdict::NoPublicIPv4, "[2001:db8:1::5]:21212",
       "IPv6のみ開放済み",
       {v6, "ルータに公開IPv4アドレスがありません（エラー501）",
        "共有回線ならIPv6を使うか、別の回線のメンバーがホストしてください",
        "ルータが二重なら前段のルータでTCP 21212を転送してください", "ルータがIPv6のポート21212を開きました"}},
      {"echo page inside the carrier's shared space", "100.64.0.2", none, Verdict::SharedIPv4, "100.64.0.2",
       "共有回線・ホスト不可", {shared, sharedAdvice}},
      {"IPv6 where the router lets nothing in: not offered", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21212), PinholeOutcome::NotAllowed), Verdict::Open, "203.0.113.5",
       "ポート開放済み", {v4, opened, "ルータはIPv6の受け入れを許していません"}},
      {"IPv6 without a firewall to open", "203.0.113.5",
       WithIPv6(Mapped("203.0.113.5", 21212), PinholeOutcome::FirewallOff), Verdict::Open, "203.0.113.5",
       "ポート開放済み", {v4, v6, opened, "ルータはIPv6を遮断していないと答えました"}},
      {"router without its outside address", "203.0.113.5", Mapped("", 20491), Verdict::OtherPort,
       "203.0.113.5:20491", "別のポートで開放済み",
       {"IPv4の接続先: 203.0.113.5:20491", "ルータはポート21212を断り、ポート20491を開きました"}},
      {"echo page gave no address form", "(nothing)", Mapped("203.0.113.5", 21212), Verdict::Open,
       "(nothing)", "ポート開放済み", {v4, opened}},
  };
  for (const Case& c : cases) {
    const Diagnosis d = Diagnose(c.echo, c.router, 21212, c.echoEnd);
    EXPECT_EQ(d.verdict, c.verdict) << c.what;
    EXPECT_EQ(d.addressBox, c.box) << c.what;
    const Glance glance = GlanceOf(d);
    EXPECT_EQ(glance.text, c.glance) << c.what;
    // Opened only where the router let members in; act where the user must.
    const GlanceTone tone = c.glance.find("開放済み") != std::string::npos ? GlanceTone::Opened
                            : c.glance.find("未確認") != std::string::npos ? GlanceTone::Unsure
                                                                           : GlanceTone::Act;
    EXPECT_EQ(glance.tone, tone) << c.what;
    EXPECT_EQ(d.rows, c.rows) << c.what;
    // Whatever the box shows, a member can type it.
    if (!d.addressBox.empty() && d.addressBox != "(nothing)") {
      EXPECT_TRUE(ParseHostPort(d.addressBox, 21212)) << c.what << ": " << d.addressBox;
    }
  }
}

// Catches a search that misses some MAP-E customer's port set (a step other
// than 16, a search leaving the block or its offset), one longer than 256
// requests, one that asks for a port twice or for 21212 again, a start far
// from the port refused, and the router's own forwarded ports not tried first.
TEST(RouterRules, PortSearchReachesEveryMapESetWithin256Requests) {
  const std::vector<int> order = PortSearchOrder(21212);
  ASSERT_EQ(order.size(), 255u);
  EXPECT_EQ(order.front(), 21228);
  EXPECT_EQ(order.back(), 21196);
  // Every customer (PSID) of a MAP-E line holds ports block*4096 + psid*16
  // + 0..15 in each block: the number of requests, 21212 itself included,
  // until the first port of the set is asked for.
  for (const auto& [port, psids] : std::vector<std::pair<int, int>>{{21212, 256}, {80, 256}, {65535, 256}}) {
    std::vector<int> requests = {port};
    for (const int p : PortSearchOrder(port)) requests.push_back(p);
    EXPECT_EQ(std::set<int>(requests.begin(), requests.end()).size(), requests.size()) << port;
    int reached = 0;
    for (int psid = 0; psid < psids; ++psid) {
      const auto hit = std::find_if(requests.begin(), requests.end(), [psid](int p) {
        return p >= 4096 && p <= 65535 && (p % 4096) / 16 == psid;
      });
      reached += hit != requests.end();
    }
    EXPECT_EQ(reached, psids) << port;
  }
  const std::vector<int> low = PortSearchOrder(80);  // block 0 is no MAP-E block
  EXPECT_EQ(low.size(), 256u);
  EXPECT_EQ(low.front(), 4096 + 80);
  // Ports the router already forwards lie in the line's set: their runs
  // first, each once, never the refused port's own run; the rest as before.
  const std::vector<int> hinted = PortSearchOrder(21212, {21190, 8900, 61440 + 1603, 21215, 70000});
  ASSERT_EQ(hinted.size(), 255u);
  EXPECT_EQ(std::vector<int>(hinted.begin(), hinted.begin() + 3), (std::vector<int>{21196, 22092, 21228}));
  EXPECT_EQ(std::set<int>(hinted.begin(), hinted.end()), std::set<int>(order.begin(), order.end()));
}

// Catches a lease renewed when it runs out rather than at half time (the
// mapping lapses), a refusal retried only at the next half lease, and
// renewals where nothing is leased.
TEST(RouterRules, RenewalAtHalfTheLeaseAndSoonAfterARefusal) {
  struct Case {
    int lease;
    bool leased;
    bool refused;
    int seconds;
  } const cases[] = {
      {3600, true, false, 1800}, {3600, true, true, 60}, {100, true, true, 50},
      {3600, false, false, 0},   {3600, false, true, 0}, {1, true, false, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SecondsUntilRenewal(c.lease, c.leased, c.refused), c.seconds)
        << c.lease << " " << c.leased << " " << c.refused;
}

// Catches the temporary (privacy) address chosen over the stable one (it
// stops working within a day), and addresses members cannot reach chosen at
// all: deprecated, link-local, unique-local, Teredo, loopback, or on an
// interface that is down.
TEST(Ipv6Choice, StableGlobalAddressOfAnInterfaceThatIsUp) {
  auto address = [](std::initializer_list<unsigned char> head, bool temporary = false) {
    Ipv6Candidate c;
    std::copy(head.begin(), head.end(), c.bytes.begin());
    c.bytes[15] = 5;
    c.temporary = temporary;
    return c;
  };
  Ipv6Candidate deprecated = address({0x24, 0x00});
  deprecated.deprecated = true;
  Ipv6Candidate down = address({0x24, 0x01});
  down.interfaceUp = false;
  Ipv6Candidate loopback = address({0x24, 0x02});
  loopback.loopback = true;
  const Ipv6Candidate temporary = address({0x24, 0x03}, true);
  const Ipv6Candidate stable = address({0x24, 0x04});
  const Ipv6Candidate linkLocal = address({0xfe, 0x80});
  const Ipv6Candidate uniqueLocal = address({0xfd, 0x00});
  const Ipv6Candidate teredo = address({0x20, 0x01, 0x00, 0x00});
  struct Case {
    const char* what;
    std::vector<Ipv6Candidate> candidates;
    int chosen;
  };
  const std::vector<Case> cases = {
      {"stable after temporary", {temporary, stable}, 1},
      {"stable before temporary", {stable, temporary}, 0},
      {"only temporary", {linkLocal, temporary}, 1},
      {"none reachable", {deprecated, down, loopback, linkLocal, uniqueLocal, teredo}, -1},
      {"the first usable stable", {teredo, down, temporary, deprecated, stable}, 4},
      {"nothing", {}, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseGlobalIPv6(c.candidates), c.chosen) << c.what;
}

}  // namespace
}  // namespace crewmap::net
