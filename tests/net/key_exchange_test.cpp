// The group-key exchange as a plain unit: both sides' checks over the real
// proofs, line by line, without sockets.
#include <gtest/gtest.h>

#include "net/classify.h"
#include "net/key_exchange.h"
#include "net/key_lines.h"
#include "net/messages.h"
#include "net/wire_text.h"

namespace crewmap::net {
namespace {

std::string Piece(const std::string& line) { return line.substr(0, line.size() - 2); }  // without CR LF

struct Exchanged {
  std::string challenge, answer;
  HostKeyStep host;
  MemberKeyStep member;
};

// One exchange between a host holding `hostKey` and a member holding `memberKey`.
Exchanged Exchange(const char* hostKey, const char* memberKey) {
  Exchanged run;
  HostKeyCheck host(*GroupKey::Stretch(hostKey));
  MemberKeyCheck member;
  member.Begin(GroupKey::Stretch(memberKey));
  run.challenge = host.Challenge();
  const MemberKeyStep answer = member.Piece(Piece(run.challenge));
  EXPECT_EQ(answer.verdict, MemberKeyVerdict::Answer);
  EXPECT_FALSE(member.MaySend());
  run.answer = answer.reply;
  run.host = host.Piece(Piece(run.answer));
  if (!run.host.reply.empty()) run.member = member.Piece(Piece(run.host.reply));
  EXPECT_EQ(member.MaySend(), run.member.verdict == MemberKeyVerdict::Joined);
  return run;
}

// Catches: a right key refused, a wrong one let in, a key that travels on
// the wire, a recorded answer or host proof that fits a later connection,
// a member that sends positions to a host that never proved the key, and
// full-width or spaced typing of the same key taken as another key.
TEST(KeyExchange, RightWrongReplayedAndHostsWithoutTheKey) {
  const Exchanged right = Exchange("夜明けの 港", "夜明けの　港 ");  // the ideographic space, a trailing blank
  EXPECT_EQ(right.host.verdict, HostKeyVerdict::Proved);
  EXPECT_EQ(right.member.verdict, MemberKeyVerdict::Joined);
  EXPECT_EQ(Exchange("ABC123", "ＡＢＣ１２３").member.verdict, MemberKeyVerdict::Joined);
  for (const std::string& line : {right.challenge, right.answer, right.host.reply})
    EXPECT_EQ(line.find(EncodeWireText("港")), std::string::npos) << line;

  const Exchanged wrong = Exchange("夜明けの港", "夕暮れの港");
  EXPECT_EQ(wrong.host.verdict, HostKeyVerdict::WrongKey);
  EXPECT_EQ(wrong.host.reply, BuildKeyNotice(kWrongKeyNotice));
  EXPECT_EQ(wrong.member.verdict, MemberKeyVerdict::WrongKey);

  // Replays: the recorded answer against a fresh challenge; the recorded
  // host proof against a member's fresh nonce.
  HostKeyCheck later(*GroupKey::Stretch("夜明けの港"));
  EXPECT_EQ(later.Piece(Piece(right.answer)).verdict, HostKeyVerdict::WrongKey);
  MemberKeyCheck member;
  member.Begin(GroupKey::Stretch("夜明けの港"));
  ASSERT_EQ(member.Piece(Piece(right.challenge)).verdict, MemberKeyVerdict::Answer);
  EXPECT_EQ(member.Piece(Piece(right.host.reply)).verdict, MemberKeyVerdict::WrongKey);
  EXPECT_FALSE(member.MaySend());

  // A host without the key (ours open, or older) gives the slot at once.
  member.Begin(GroupKey::Stretch("夜明けの港"));
  EXPECT_EQ(member.Piece(Piece(BuildSlotAssignment(1))).verdict, MemberKeyVerdict::HostCannotProve);
  EXPECT_FALSE(member.MaySend());
  // A host that asks and then does not prove it.
  member.Begin(GroupKey::Stretch("夜明けの港"));
  member.Piece(Piece(right.challenge));
  EXPECT_EQ(member.Piece(Piece(BuildSlotAssignment(1))).verdict, MemberKeyVerdict::HostCannotProve);
  // Our member without a key is told it needs one; with none and an open host nothing changes.
  member.Begin(std::nullopt);
  EXPECT_EQ(member.Piece(Piece(right.challenge)).verdict, MemberKeyVerdict::KeyNeeded);
  member.Begin(GroupKey::Stretch("  "));
  EXPECT_FALSE(member.Keyed());
  EXPECT_EQ(member.Piece(Piece(BuildSlotAssignment(1))).verdict, MemberKeyVerdict::Pass);
  EXPECT_TRUE(member.MaySend());
}

// Catches: a peer that follows the protocol exactly taken in, or shown
// anything but one readable notice; a challenge that such a member cannot
// classify as a notice.
TEST(KeyExchange, PeersThatFollowTheProtocolExactly) {
  HostKeyCheck host(*GroupKey::Stretch("key"));
  const auto notice = ClassifyMemberPiece(Piece(host.Challenge()));
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->Kind, MemberMessageKind::Notice);
  EXPECT_EQ(DecodeWireText(notice->Text).rfind(std::string(kKeyNeededNotice) + " #k1 ", 0), 0u);
  EXPECT_EQ(host.Piece("").verdict, HostKeyVerdict::Waiting);  // a blank line is no answer yet
  const HostKeyStep report = host.Piece("User1\t14175,7410");
  EXPECT_EQ(report.verdict, HostKeyVerdict::NoAnswer);
  EXPECT_TRUE(report.reply.empty());
  // Our answer, should a host that follows the protocol ever get it, is a report with an empty position.
  const auto asReport = ClassifyHostPiece(Piece(BuildKeyAnswer(std::string(16, 'n'), std::string(32, 'p'))));
  ASSERT_TRUE(asReport);
  EXPECT_EQ(asReport->Point, "");
}

// Catches: a share text a member cannot paste back (port lost, key cut at a
// blank, the game chat's full-width forms), and an address without a
// marker read differently than before.
TEST(KeyLines, TheTextToPassOnReadsBack) {
  EXPECT_EQ(BuildShareText("203.0.113.5", "夜明けの 港", 21212), "203.0.113.5:21212 合言葉 夜明けの 港");
  EXPECT_EQ(BuildShareText("[2001:db8::1]:21213", "k", 21212), "[2001:db8::1]:21213 合言葉 k");
  EXPECT_EQ(BuildShareText("取得中…", "k", 21212), "合言葉 k");
  EXPECT_EQ(BuildShareText("203.0.113.5", "", 21212), "");
  for (const char* typed : {"203.0.113.5:21212 合言葉 夜明けの 港", "２０３．０．１１３．５：２１２１２　合言葉：夜明けの　　港　",
                            " 203.0.113.5:21212合言葉=夜明けの  港"}) {
    const ShareParts parts = SplitShareText(typed);
    EXPECT_EQ(parts.address, "203.0.113.5:21212") << typed;
    EXPECT_EQ(parts.key, "夜明けの 港") << typed;
  }
  EXPECT_EQ(SplitShareText(" １２７．０．０．１ ").address, " １２７．０．０．１ ");
  EXPECT_EQ(SplitShareText(" １２７．０．０．１ ").key, "");
}

}  // namespace
}  // namespace crewmap::net
