// Building, splitting and classifying the messages between instances.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/address_extract.h"
#include "net/classify.h"
#include "net/line_receiver.h"
#include "net/meeting_point.h"
#include "net/messages.h"
#include "net/remote_host.h"
#include "net/wire_text.h"

namespace crewmap::net {
namespace {

using Lines = std::vector<std::string>;

TEST(Messages, EveryMessageByteForByte) {
  EXPECT_EQ(BuildPositionReport("User1", "14175,7410"), "User1\t14175,7410\r\n");
  EXPECT_EQ(BuildPositionReport("User1", ""), "User1\t\r\n");
  EXPECT_EQ(BuildRelay(3, "User1\t14175,7410"), "03:User1\t14175,7410\r\n");
  EXPECT_EQ(BuildRelay(9, "x\ty\tz"), "09:x\ty\tz\r\n");  // the piece is relayed untouched
  EXPECT_EQ(BuildHostPosition("Host", "1,2"), "00:Host\t1,2\r\n");
  EXPECT_EQ(BuildSlotAssignment(3), "client#3\r\n");
  EXPECT_EQ(BuildSlotAssignment(9), "client#9\r\n");
  EXPECT_EQ(BuildLeaveNotice(3), "disconn03\r\n");
  EXPECT_EQ(TwoDigitSlot(0), "00");
  EXPECT_EQ(TwoDigitSlot(12), "12");
}

TEST(Messages, LineBreaksAndTabsInsideAFieldCannotForgeMessages) {
  EXPECT_EQ(BuildPositionReport("a\r\nclient#5", "1,2"), "a  client#5\t1,2\r\n");
  EXPECT_EQ(BuildHostPosition("a\tb", "1\n2"), "00:a b\t1 2\r\n");
}

// Catches a notice an older member cannot read (not code page 932, no seven
// asterisks), a point written outside the world, and a parse that takes
// what only looks like a meeting notice.
TEST(MeetingPoint, NoticeTextBothWays) {
  const auto wire = [](const char* utf8) { return EncodeWireText(utf8); };
  const struct { std::optional<GamePoint> point; const char* text; } built[] = {
      {GamePoint{8192, 4096}, "*******集合地点 8192,4096"}, {GamePoint{0, 8191}, "*******集合地点 0,8191"},
      {GamePoint{16384 + 5, -3}, "*******集合地点 5,0"},  // wrapped east-west, held on the map
      {GamePoint{-1, 9000}, "*******集合地点 16383,8191"}, {std::nullopt, "*******集合地点を解除しました"}};
  for (const auto& c : built) {
    EXPECT_EQ(BuildMeetingNotice(c.point), wire(c.text) + "\r\n") << c.text;
    const MeetingNotice back = ParseMeetingNotice(wire(c.text));
    EXPECT_EQ(back.kind, c.point ? MeetingNoticeKind::Point : MeetingNoticeKind::Cleared) << c.text;
    if (c.point) { EXPECT_EQ(BuildMeetingNotice(back.point), wire(c.text) + "\r\n") << c.text; }
  }
  for (const char* other : {"*******集合地点 16384,1", "*******集合地点 1,8192", "*******集合地点 -1,2", "*******集合地点 1,2,3",
                            "*******集合地点 1 ,2", "*******集合地点 ,2", "*******集合地点 00001,2x", "*******集合地点 999999999999,1",
                            "*******集合地点", "******集合地点 1,2", "*******集合地点を解除しました ", "00:Host\t1,2"})
    EXPECT_EQ(ParseMeetingNotice(wire(other)).kind, MeetingNoticeKind::None) << other;
}

// Catches a plain report (or any other line) taken for a proposal, and a
// naming notice too long for a member. How a proposal reaches members of a
// host without proposals is checked through real hosts (frm_main_test).
TEST(MeetingPoint, ProposalsRideOnTheReport) {
  const std::string report = "User1\t14175,7410";
  const std::string point = BuildMeetingProposal(report, GamePoint{8192, 4096});
  EXPECT_EQ(point, report + "\t" + EncodeWireText("*******集合地点 8192,4096") + "\r\n");
  const std::string line = point.substr(0, point.size() - 2);
  const auto proposal = ParseMeetingProposal(line);
  ASSERT_TRUE(proposal);
  EXPECT_EQ(proposal->nick, "User1");
  EXPECT_EQ(proposal->notice.point, (GamePoint{8192, 4096}));
  const std::string clear = BuildMeetingProposal("User1\t", std::nullopt);
  EXPECT_EQ(ParseMeetingProposal(clear.substr(0, clear.size() - 2))->notice.kind, MeetingNoticeKind::Cleared);
  for (const std::string& other : {report, report + "\t", report + "\tx", "a\t" + EncodeWireText("*******集合地点 1,2"),
                                  line + "\tmore", "*******" + EncodeWireText("集合地点 1,2")})
    EXPECT_FALSE(ParseMeetingProposal(other)) << other;
  EXPECT_EQ(BuildProposerNotice(EncodeWireText("太郎"), false), EncodeWireText("*******太郎 が集合地点を共有しました") + "\r\n");
  EXPECT_EQ(BuildProposerNotice("x", true), EncodeWireText("*******x が集合地点を解除しました") + "\r\n");
  EXPECT_EQ(BuildProposerNotice(std::string(4070, 'n'), false), "");
}

TEST(LineReceiver, SplitsSkipsBlanksAndKeepsOrder) {
  LineReceiver r;
  EXPECT_EQ(r.Feed("00:Host\t1,2\r\n03:User1\t14175,7410\r\n"),
            (Lines{"00:Host\t1,2", "03:User1\t14175,7410"}));
  EXPECT_EQ(r.Feed("\r\n   \r\n a \r\n"), (Lines{" a "}));  // untrimmed
  EXPECT_EQ(r.PendingBytes(), 0u);
}

TEST(LineReceiver, JoinsALineSplitAcrossArrivals) {
  LineReceiver r;
  EXPECT_EQ(r.Feed("User1\t141"), Lines{});
  EXPECT_EQ(r.Feed("75,7410\r"), Lines{});  // CR and LF in different arrivals
  EXPECT_EQ(r.Feed("\nUser2\t1,1\r\n"), (Lines{"User1\t14175,7410", "User2\t1,1"}));
  r.Feed("half");
  r.Reset();
  EXPECT_EQ(r.Feed("new\r\n"), Lines{"new"});
}

TEST(LineReceiver, OverLongLineIsDroppedAndLaterLinesStillCount) {
  LineReceiver r;
  const std::string longLine(LineReceiver::kMaxLine + 1, 'x');
  // Within one arrival.
  EXPECT_EQ(r.Feed("a\r\n" + longLine + "\r\nb\r\n"), (Lines{"a", "b"}));
  // Spread over many arrivals, with the CR LF split as well.
  for (int i = 0; i < 100; ++i) EXPECT_EQ(r.Feed(std::string(1000, 'y')), Lines{});
  EXPECT_LE(r.PendingBytes(), LineReceiver::kMaxLine);
  EXPECT_EQ(r.Feed("yyy\r"), Lines{});
  EXPECT_EQ(r.Feed("\nc\r\n"), Lines{"c"});
  // The longest allowed line still arrives, even in pieces.
  const std::string longest(LineReceiver::kMaxLine, 'z');
  EXPECT_EQ(r.Feed(longest), Lines{});
  EXPECT_EQ(r.Feed("\r\n"), Lines{longest});
}

TEST(Classify, HostReports) {
  auto report = ClassifyHostPiece("User1\t14175,7410");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->Nick, "User1");
  EXPECT_EQ(report->Point, "14175,7410");
  report = ClassifyHostPiece("User1\t");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->Point, "");
  report = ClassifyHostPiece(" a \t1,2\textra");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->Nick, " a ");
  EXPECT_EQ(report->Point, "1,2");
  EXPECT_FALSE(ClassifyHostPiece("no tab here"));
}

TEST(Classify, MemberMessages) {
  struct Case {
    const char* piece;
    bool ok;
    MemberMessageKind kind;
    int slot;
    const char* nick;
    const char* point;
  } const cases[] = {
      {"client#3", true, MemberMessageKind::SlotAssignment, 3, "", ""},
      {"client#9", true, MemberMessageKind::SlotAssignment, 9, "", ""},
      {"client#03", true, MemberMessageKind::SlotAssignment, 3, "", ""},
      {"disconn03", true, MemberMessageKind::LeaveNotice, 3, "", ""},
      {"disconn09tail", true, MemberMessageKind::LeaveNotice, 9, "", ""},
      {"*******hello", true, MemberMessageKind::Notice, 0, "", ""},
      {"*******", true, MemberMessageKind::Notice, 0, "", ""},
      {"00:Host\t1,2", true, MemberMessageKind::PositionRelay, 0, "Host", "1,2"},
      {"03:User1\t14175,7410", true, MemberMessageKind::PositionRelay, 3, "User1", "14175,7410"},
      {"09:User9\t", true, MemberMessageKind::PositionRelay, 9, "User9", ""},
      {"03:\t5,5\tmore", true, MemberMessageKind::PositionRelay, 3, "", "5,5"},
      // Lines that mean nothing.
      {"client#", false, {}, 0, "", ""},
      {"client#0", false, {}, 0, "", ""},
      {"client#10", false, {}, 0, "", ""},
      {"client#x", false, {}, 0, "", ""},
      {"client#99999999999999999999", false, {}, 0, "", ""},
      {"disconn3", false, {}, 0, "", ""},
      {"disconn1x", false, {}, 0, "", ""},
      {"disconn10", false, {}, 0, "", ""},
      {"10:x\t1,1", false, {}, 0, "", ""},
      {"ab:x\t1,1", false, {}, 0, "", ""},
      {"03User1\t1,1", false, {}, 0, "", ""},
      {"03:User1 no tab", false, {}, 0, "", ""},
      {"-1:x\t1,1", false, {}, 0, "", ""},
      {"0", false, {}, 0, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.piece);
    const auto m = ClassifyMemberPiece(c.piece);
    ASSERT_EQ(m.has_value(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(m->Kind, c.kind);
    EXPECT_EQ(m->Slot, c.slot);
    EXPECT_EQ(m->Nick, c.nick);
    EXPECT_EQ(m->Point, c.point);
    EXPECT_EQ(m->Text, c.piece);
  }
}

TEST(Classify, ReceiverAndClassifierTogetherSkipGarbage) {
  LineReceiver r;
  int relays = 0;
  for (const auto& piece :
       r.Feed("garbage\r\n\x81\r\n03:A\t1,1\r\nclient#\xFF\r\n" + std::string(5000, '9') + "\r\n04:B\t2,2\r\n"))
    if (const auto m = ClassifyMemberPiece(piece); m && m->Kind == MemberMessageKind::PositionRelay)
      ++relays;
  EXPECT_EQ(relays, 2);
}

TEST(WireText, JapaneseNicknamesTravelAsCodePage932) {
  const std::string nick = "船長ｶﾀ～";
  const std::string wire = EncodeWireText(nick);
  EXPECT_EQ(wire, "\x91\x44\x92\xB7\xB6\xC0\x81\x60");
  // Through the whole protocol: report, host relay, member classification.
  LineReceiver host;
  const auto pieces = host.Feed(BuildPositionReport(wire, "100,200"));
  ASSERT_EQ(pieces.size(), 1u);
  const auto report = ClassifyHostPiece(pieces[0]);
  ASSERT_TRUE(report);
  EXPECT_EQ(DecodeWireText(report->Nick), nick);
  LineReceiver member;
  const auto relayed = member.Feed(BuildRelay(4, pieces[0]));
  ASSERT_EQ(relayed.size(), 1u);
  const auto m = ClassifyMemberPiece(relayed[0]);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Slot, 4);
  EXPECT_EQ(DecodeWireText(m->Nick), nick);
  EXPECT_EQ(m->Point, "100,200");
}

TEST(AddressExtract, Replies) {
  struct Case {
    const char* reply;
    const char* address;
  } const cases[] = {
      {"Your address (public) is (203.0.113.5) today", "203.0.113.5"},
      {"a(b( 203.0.113.5 )c", " 203.0.113.5 "},
      {"a(b(203.0.113.5 and more", "203.0.113.5 and more"},
      {"a(b(x(y)z", "x"},
      {"a(b()", ""},
      {"203.0.113.5", "203.0.113.5"},
      {"  203.0.113.5\r\n", "203.0.113.5"},
      {"2001:db8::1\n", "2001:db8::1"},
      {"::ffff:192.0.2.1", "::ffff:192.0.2.1"},
      {"only (one) bracket", ""},
      {"not an address", ""},
      {"256.1.1.1", ""},
      {"1.2.3", ""},
      {"2001:db8:::1", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    EXPECT_EQ(ExtractAddress(c.reply), c.address);
  }
}

TEST(RemoteHost, TypedAddresses) {
  EXPECT_EQ(NormalizeRemoteHost(" 127.0.0.1 "), "127.0.0.1");
  EXPECT_EQ(NormalizeRemoteHost("::1"), "::1");
  EXPECT_EQ(NormalizeRemoteHost("[::1]"), "::1");
  EXPECT_EQ(NormalizeRemoteHost("localhost"), "localhost");
  EXPECT_EQ(NormalizeRemoteHost("host-1.example.org."), "host-1.example.org.");
  for (const char* bad : {"", "   ", "999.1.1.1", "1.2.3", "1.2.3.4.5", "a b", "a..b", "x!y",
                          "[127.0.0.1]", "::1::2", "http://x"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(NormalizeRemoteHost(bad));
  }
}

}  // namespace
}  // namespace crewmap::net
