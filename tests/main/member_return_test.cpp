// A member finding its host again, over real sockets: a host that turns it
// away as full and then frees a place, a host whose packets vanish (its PC
// asleep, its router restarting; dropped with nftables in the network
// namespace this test runs in), and a host that closes and comes back. The
// host is HostSide over nine real sockets, as the host's window runs it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "main/frm_main.h"
#include "main/host_side.h"
#include "main/member_side.h"
#include "map/frm_map.h"
#include "net/winsock.h"
#include "startup/common.h"
#include "support/private_network.h"
#include "test_peers.h"
#include "ui/list_box.h"
#include "ui/message_box.h"

namespace crewmap::main {
namespace {

using test::WaitUntil;

// Quick versions of the program's timings: a gone peer shows in about 2 s.
const net::Liveness kQuickLiveness{1, 1, 1, 1500};

class Host {
 public:
  explicit Host(int port) {
    for (int n = 1; n <= net::kHighestSocket; ++n) {
      auto* socket = new net::Winsock(n, &owner_);
      socket->SetLocalPort(port);
      socket->SetLiveness(kQuickLiveness);
      sockets_[static_cast<std::size_t>(n)] = socket;
      QObject::connect(socket, &net::Winsock::ConnectionRequest, [this](int i, qintptr id) { side_->ConnectionRequest(i, id); });
      QObject::connect(socket, &net::Winsock::DataArrival, [this](int i, qint64) { side_->DataArrival(i); });
      QObject::connect(socket, &net::Winsock::Closed, [this](int i) { side_->ConnectionEnded(i); });
      QObject::connect(socket, &net::Winsock::Error, [this](int i, int, const QString&) { side_->ConnectionEnded(i); });
    }
    HostView view{[](int, SlotLight) {}, [this](const std::string& row) { log += row + "\n"; },
                  [](const std::vector<std::string>&) {}, [](int) {}, [] { return false; }};
    side_ = std::make_unique<HostSide>(sockets_, table_, port, HostRules{}, std::move(view));
    side_->Start();
  }
  std::string log;

 private:
  QObject owner_;
  SocketArray sockets_{};
  net::SlotTable table_;
  std::unique_ptr<HostSide> side_;
};

bool Nft(const std::string& command) { return std::system(("nft " + command).c_str()) == 0; }

// Catches: a gone host that still looks connected; no retry after a close, a
// refusal as full or a vanished host; retries that never end or cannot be
// stopped; a successful retry that does not look like a join.
TEST(MemberFindsItsHost, FullThenFreedSilentThenBackClosedThenBack) {
  if (!test::InPrivateNetwork()) GTEST_SKIP() << "drops packets with nftables: needs a network namespace of its own";
  const int port = test::FreePort();
  // No map pictures here: the map window's complaint is answered with Cancel.
  ui::SetMessageHook([](const QString&, ui::MessageButtons) { return ui::MessageAnswer::Cancel; });
  startup::StartMode = 1;
  MainOptions options;
  options.connectTimeoutMs = 500;
  options.retry = RetryTimes{100, 300, 60000};
  options.liveness = kQuickLiveness;
  auto host = std::make_unique<Host>(port);
  frmMain member(std::move(options));
  member.Timer1->stop();  // nothing is sent: only the probes can find the host gone
  member.show();
  const auto status = [&] { return member.Text2->text().toStdString(); };
  const auto lastRow = [&] { return member.List1->text(member.List1->count() - 1).toStdString(); };
  const auto rowEnds = [&](const std::string& text) { return lastRow().ends_with("]" + text); };

  // Full, then a place frees: the member's own first attempt is turned away and retried.
  std::vector<std::unique_ptr<test::Peer>> others;
  for (int i = 0; i < 8; ++i) {
    others.push_back(std::make_unique<test::Peer>());
    ASSERT_TRUE(others.back()->Connect(port));
  }
  member.Text1->setText(QStringLiteral("127.0.0.1:%1").arg(port));
  member.Command1_Click();
  ASSERT_TRUE(WaitUntil([&] { return status().starts_with("サーバが満員です　再接続中…（"); })) << status();
  EXPECT_EQ(member.Command1->text(), "中止");
  EXPECT_TRUE(member.Command1->isEnabled());
  EXPECT_NE(member.List1->text(1).toStdString().find("]サーバが満員です。空きができるまで自動で再接続します"), std::string::npos);
  others[4]->Close();
  ASSERT_TRUE(WaitUntil([&] { return member.MySlot == 5 && rowEnds("再接続しました"); })) << lastRow();
  EXPECT_EQ(status(), "接続完了");
  EXPECT_FALSE(member.Command1->isEnabled());
  others.clear();

  // Silent: nothing from the host arrives any more, not even its answers to the probes.
  ASSERT_TRUE(Nft("add table inet crewmap_silent"));
  ASSERT_TRUE(Nft("'add chain inet crewmap_silent in { type filter hook input priority 0; }'"));
  ASSERT_TRUE(Nft("add rule inet crewmap_silent in tcp sport " + std::to_string(port) + " drop"));
  ASSERT_TRUE(WaitUntil([&] { return status() == "再接続中…（3回目）"; }, 8000)) << status();
  EXPECT_TRUE(rowEnds("サーバとの接続が切れました。自動で再接続します")) << lastRow();
  // The host saw it too.
  EXPECT_TRUE(WaitUntil([&] { return host->log.find("05. << 127.0.0.1 Close") != std::string::npos; })) << host->log;
  ASSERT_TRUE(Nft("delete table inet crewmap_silent"));
  ASSERT_TRUE(WaitUntil([&] { return status() == "接続完了" && rowEnds("再接続しました"); }, 3000)) << status();

  // Closed and back.
  host.reset();
  ASSERT_TRUE(WaitUntil([&] { return status() == "再接続中…（3回目）"; })) << status();
  host = std::make_unique<Host>(port);
  ASSERT_TRUE(WaitUntil([&] { return status() == "接続完了" && rowEnds("再接続しました"); })) << status();
  EXPECT_EQ(member.MySlot, 1);

  // Closing the window while it retries closes at once.
  host.reset();
  ASSERT_TRUE(WaitUntil([&] { return member.Member()->Retrying(); }));
  QElapsedTimer clock;
  clock.start();
  member.close();
  EXPECT_LT(clock.elapsed(), 500);
  ui::SetMessageHook({});
}

}  // namespace
}  // namespace crewmap::main
