// The rules that keep one peer from hurting the others: the line bound at
// every split of CR and LF, byte-at-a-time arrivals, the outgoing queue's
// bounds and the relay budget.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/byte_budget.h"
#include "net/key_tries.h"
#include "net/line_receiver.h"
#include "net/messages.h"
#include "net/outgoing_queue.h"
#include "net/peer_rules.h"
#include "net/relay_budget.h"

namespace crewmap::net {
namespace {

using Lines = std::vector<std::string>;

// Feeds `bytes` cut at every position in `cuts` and gathers the lines.
Lines FeedCut(LineReceiver& r, const std::string& bytes, const std::vector<std::size_t>& cuts) {
  Lines all;
  std::size_t start = 0;
  for (std::size_t cut : cuts) {
    for (auto& line : r.Feed(std::string_view(bytes).substr(start, cut - start))) all.push_back(line);
    start = cut;
  }
  for (auto& line : r.Feed(std::string_view(bytes).substr(start))) all.push_back(line);
  return all;
}

TEST(LineBound, ALineAtTheBoundIsKeptHoweverItsEndIsSplit) {
  for (const std::size_t bound : {LineReceiver::kMaxLine, LineReceiver::kMaxLine - 3}) {
    SCOPED_TRACE(bound);
    const std::string atBound(bound, 'x');
    const std::string over(bound + 1, 'y');
    const std::string stream = atBound + "\r\n" + over + "\r\n" + "after\r\n";
    const std::size_t cr = bound;  // where the first CR sits
    for (const std::vector<std::size_t>& cuts :
         std::vector<std::vector<std::size_t>>{{}, {cr}, {cr + 1}, {cr - 1, cr + 1}, {cr + 2 + bound + 1}}) {
      LineReceiver r(bound);
      EXPECT_EQ(FeedCut(r, stream, cuts), (Lines{atBound, "after"}));
      EXPECT_LE(r.PendingBytes(), bound + 1);
    }
    // One byte at a time: the same lines, and never more kept than the bound.
    LineReceiver r(bound);
    Lines lines;
    for (const char c : stream) {
      for (auto& line : r.Feed(std::string_view(&c, 1))) lines.push_back(line);
      ASSERT_LE(r.PendingBytes(), bound + 1);
    }
    EXPECT_EQ(lines, (Lines{atBound, "after"}));
  }
}

// Catches: the CR that ends an arrival inside an over-long line forgotten
// (or kept) across the arrival, so that the LF of its CR LF is missed and the
// next line's CR LF is swallowed with it; the discarding state surviving
// Reset, so that the next connection's first line is lost. Every cut of the
// stream, and every pair of cuts around the over-long line's end, must give
// the same lines as one arrival.
TEST(LineBound, AnOverLongLineEndsAtItsOwnCrLfWhereverTheArrivalsAreCut) {
  const std::size_t bound = 64;
  const std::string over(bound + 5, 'o');
  const std::string stream = "a\r\n" + over + "\r\r\nnext\r\n" + over + "\r\n\r\nlast\r\n";
  const Lines expected{"a", "next", "last"};
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    LineReceiver r(bound);
    ASSERT_EQ(FeedCut(r, stream, {cut}), expected) << "cut at " << cut;
  }
  const std::size_t end = 3 + over.size();  // the first over-long line's CR CR LF
  for (std::size_t c1 = end - 2; c1 <= end + 6; ++c1)
    for (std::size_t c2 = c1; c2 <= end + 8; ++c2) {
      LineReceiver r(bound);
      ASSERT_EQ(FeedCut(r, stream, {c1, c2}), expected) << c1 << "," << c2;
    }
  // A connection that ends inside an over-long line, with or without its CR:
  // the next one starts clean.
  for (const std::string& cutOff : {over, over + "\r"}) {
    LineReceiver r(bound);
    EXPECT_TRUE(r.Feed(cutOff).empty());
    r.Reset();
    EXPECT_EQ(r.Feed("\nfirst\r\n"), (Lines{"\nfirst"}));
  }
}

TEST(LineBound, ByteAtATimeCarriageReturnsAndTabOnlyLines) {
  // CRs that are not followed by LF are part of the line; a lone LF ends nothing.
  LineReceiver r;
  const std::string crs(4000, '\r');
  Lines lines;
  for (const char c : crs + "\n\r\n" + "a\nb\r\n") {
    for (auto& line : r.Feed(std::string_view(&c, 1))) lines.push_back(line);
  }
  EXPECT_EQ(lines, (Lines{std::string(3999, '\r'), "a\nb"}));
  // A report of an empty nickname and no position is a TAB alone: not blank.
  EXPECT_EQ(r.Feed("\t\r\n \t \r\n  \r\n"), (Lines{"\t", " \t "}));
  // The host's bound leaves room for the relay prefix.
  EXPECT_EQ(BuildRelay(9, std::string(LineReceiver::kMaxLine - 3, 'n')).size(), LineReceiver::kMaxLine + 2);
}

// Everything a queue would send, in order.
Lines Drain(OutgoingQueue& q) {
  Lines out;
  while (!q.Empty()) out.push_back(q.Pop());
  return out;
}

// Catches: a newer position queued beside (not instead of) the unsent older
// one, so a flood grows a slow member's queue without bound; a newer position
// put in the older one's place, overtaking a leave notice about its own slot
// (the new member of that slot would be wiped by the old member's notice);
// a control line ever dropped; repeated leave notices piling up under churn.
TEST(OutgoingQueue, OneNewestPositionPerSenderControlLinesKeptInOrder) {
  OutgoingQueue q;
  q.Push(Traffic::Control, -1, "client#1");
  for (int i = 0; i < 1000; ++i) {
    q.Push(Traffic::Position, 2, "02:flood " + std::to_string(i));
    if (i % 100 == 0) q.Push(Traffic::Position, 0, "00:host " + std::to_string(i));
  }
  q.Push(Traffic::Position, 3, "03:honest");
  EXPECT_EQ(q.Lines(), 4u);
  EXPECT_EQ(Drain(q), (Lines{"client#1", "00:host 900", "02:flood 999", "03:honest"}));
  EXPECT_EQ(q.Bytes(), 0u);

  // Slot 4 changes hands while its positions wait: the new member's position
  // comes after the notice, never before it.
  q.Push(Traffic::Position, 4, "04:old");
  q.Push(Traffic::Leave, 4, "disconn04");
  q.Push(Traffic::Position, 4, "04:new");
  EXPECT_EQ(Drain(q), (Lines{"disconn04", "04:new"}));

  // Churn on slot 5 against a stalled reader: notices fold, positions are
  // the newest, other slots' notices stay, and the byte count follows.
  q.Push(Traffic::Leave, 6, "disconn06");
  for (int i = 0; i < 500; ++i) {
    q.Push(Traffic::Position, 5, "05:m" + std::to_string(i));
    q.Push(Traffic::Leave, 5, "disconn05");
  }
  q.Push(Traffic::Leave, 6, "disconn06");  // nothing about slot 6 in between: folded
  // At most: a notice, the newest position, the notice after it.
  EXPECT_EQ(q.Bytes(), 3 * std::string("disconn06").size() + std::string("05:m499").size());
  EXPECT_EQ(Drain(q), (Lines{"disconn06", "disconn05", "05:m499", "disconn05"}));
  q.Push(Traffic::Leave, 5, "disconn05");
  q.Push(Traffic::Position, 5, "05:x");
  q.Push(Traffic::Leave, 5, "disconn05");  // a position in between: both notices stay
  q.Push(Traffic::Control, -1, "client#9");
  q.Push(Traffic::Control, -1, "client#9");  // plain control lines are never folded
  EXPECT_EQ(Drain(q), (Lines{"disconn05", "05:x", "disconn05", "client#9", "client#9"}));

  // Hand-off: lines go while the socket holds less than the bound.
  OutgoingQueue h(QueueBounds{100, 5000});
  EXPECT_FALSE(h.MayHandOff(0));  // nothing to hand over
  h.Push(Traffic::Position, 1, "x");
  EXPECT_TRUE(h.MayHandOff(99));
  EXPECT_FALSE(h.MayHandOff(100));
}

// Catches: a peer that reads slowly but steadily cut off as stalled; a stall
// clock that is not restarted by progress (a 40 s pause after an hour of
// slow reading cuts the member off at once); an idle connection (nothing
// waiting) counted as stalled.
TEST(OutgoingQueue, AStallIsTheWholeGraceWithoutAByteTaken) {
  OutgoingQueue q(QueueBounds{4096, 5000});
  EXPECT_EQ(q.Observe(false, false, 0), -1);
  EXPECT_EQ(q.Observe(true, false, 100), 5000);
  EXPECT_EQ(q.Observe(true, false, 3100), 2000);
  for (std::int64_t t = 3100; t < 60000; t += 1000) ASSERT_EQ(q.Observe(true, true, t), 5000);  // slow, steady
  EXPECT_EQ(q.Observe(true, false, 62000), 2100);  // last progress at 59,100
  EXPECT_EQ(q.Observe(false, false, 70000), -1);   // all taken: idle
  EXPECT_EQ(q.Observe(true, false, 80000), 5000);  // a new spell starts over
  EXPECT_EQ(q.Observe(true, false, 85000), 0);     // nothing taken for the whole grace: stalled
  q.Reset();
  EXPECT_EQ(q.Observe(true, false, 90000), 5000);
  // The default tolerates a 40 s pause with lines waiting.
  EXPECT_GT(OutgoingQueue().Bounds().graceMs, 40000 * 2);
}

// Catches: a connection that never sends holding its slot for ever (nine of
// them lock every member out); the first-line limit applied after lines have
// come, so a member whose capture fails for a minute is cut off; a blank
// keep-alive line not counted; a connection that has ended still watched.
TEST(PeerRules, SilentPeersAreDueAndTalkingOnesAreNot) {
  PeerWatch w(PeerTimes{1000, 60000});
  EXPECT_FALSE(w.Due(1'000'000));  // nothing to watch yet
  w.Start(0);
  EXPECT_FALSE(w.Due(999));
  EXPECT_TRUE(w.Due(1000));  // never a line
  w.Start(5000);
  w.Line(5500);
  EXPECT_FALSE(w.Due(50000));   // quiet for a while after taking part: still fine
  w.Line(50000);
  EXPECT_FALSE(w.Due(109999));
  EXPECT_TRUE(w.Due(110000));   // silent for the whole long limit
  w.Stop();
  EXPECT_FALSE(w.Due(1'000'000));
  // The defaults: a squatter is gone well within 20 s; a member's capture
  // may fail for minutes.
  EXPECT_LE(PeerTimes{}.firstLineMs, 10000);
  EXPECT_GE(PeerTimes{}.silenceMs, 5 * 60000);

  // LineReceiver counts every line end, blank and over-long lines included.
  LineReceiver r(8);
  r.Feed("\r\n  \r\nabc\r\n" + std::string(20, 'x') + "\r");
  EXPECT_EQ(r.LineEnds(), 3u);
  r.Feed("\n");
  EXPECT_EQ(r.LineEnds(), 4u);
}

// Catches: a churning address never refused (each cycle costs the host log
// rows and memory); a household of eight joining at once refused; a block
// that never ends, or one that other addresses share; the table of addresses
// growing without bound under connections from ever new addresses; an
// address's record forgotten while it keeps connecting (its last-seen time
// not refreshed); an IPv6 peer escaping by a new address in its /64.
TEST(PeerRules, AnAddressThatKeepsReconnectingIsRefusedForAWhile) {
  ConnectionThrottle t(ThrottleRule{5, 1000, 3000, 100});
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(t.Admit("10.0.0.1", i * 10)) << i;
  EXPECT_FALSE(t.Admit("10.0.0.1", 60));       // the sixth within the window
  EXPECT_TRUE(t.Admit("10.0.0.2", 70));        // another address is not affected
  EXPECT_FALSE(t.Admit("10.0.0.1", 2000));     // still blocked, window or not
  EXPECT_TRUE(t.Admit("10.0.0.1", 3060));      // the block is over
  // Seen again at 6000..6030: a newcomer at 6040 must not make the host
  // forget it, so its sixth still counts. IPv6 counts by /64.
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(t.Admit("10.0.0.1", 6000 + i * 10)) << i;
  EXPECT_TRUE(t.Admit("10.0.0.9", 6040));
  EXPECT_TRUE(t.Admit("10.0.0.1", 6050));
  EXPECT_FALSE(t.Admit("10.0.0.1", 6060));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(t.Admit("2001:db8:1:2::" + std::to_string(i + 1), 7000 + i)) << i;
  EXPECT_FALSE(t.Admit("2001:DB8:1:2:ffff:1:2:3%eth0", 7010));
  EXPECT_TRUE(t.Admit("2001:db8:1:3::1", 7020));  // the next /64 is another line
  // Spread out, any number is fine.
  ConnectionThrottle slow(ThrottleRule{5, 1000, 3000, 100});
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(slow.Admit("10.0.0.3", i * 250)) << i;
  // Memory stays bounded whatever the addresses.
  for (int i = 0; i < 1000; ++i) t.Admit("198.51.100." + std::to_string(i), 4000);
  EXPECT_LE(t.Remembered(), 100u);
  // By default eight members of one household joining together are welcome.
  ConnectionThrottle household;
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(household.Admit("192.0.2.1", i * 100));
}

// Catches: guessing the group key faster than a few tries a minute, a lock
// after wrong answers that does not grow or never ends, a member that
// proves the key losing tries by reconnecting, an IPv6 guesser escaping by
// a new address in its /64, and a scan that fills the log.
TEST(KeyTries, AFewTriesAMinuteLongerAfterWrongAnswersFewRows) {
  KeyTries t(KeyTryRule{4, 15000, 3, 60000, 3600000, 100}, KeyLogRule{60000, 5, 60000});
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(t.MayTry("10.0.0.1", 0)) << i;
  EXPECT_FALSE(t.MayTry("10.0.0.1", 100));
  EXPECT_TRUE(t.MayTry("10.0.0.1", 15100));  // one more every 15 s
  EXPECT_TRUE(t.MayTry("10.0.0.2", 15100));  // another address is not affected
  for (int i = 0; i < 20; ++i) {             // proving never costs a try
    ASSERT_TRUE(t.MayTry("10.0.0.2", 16000 + i)) << i;
    t.Proved("10.0.0.2", 16000 + i);
  }
  for (int i = 0; i < 3; ++i) t.Failed("10.0.0.2", 17000);  // the third in a row locks for a minute
  EXPECT_FALSE(t.MayTry("10.0.0.2", 76999));
  EXPECT_TRUE(t.MayTry("10.0.0.2", 77000));
  t.Failed("10.0.0.2", 77000);  // then two minutes
  EXPECT_FALSE(t.MayTry("10.0.0.2", 196999));
  EXPECT_TRUE(t.MayTry("10.0.0.2", 197000));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(t.MayTry("2001:db8:1:2::" + std::to_string(i + 1), 0)) << i;
  EXPECT_FALSE(t.MayTry("2001:db8:1:2:ffff::9", 0));
  // Rows: one per source a minute, five a minute in all, then the count of the rest.
  EXPECT_EQ(t.LogRefusal("10.0.0.1", 200000), 0);
  EXPECT_EQ(t.LogRefusal("10.0.0.1", 200001), std::nullopt);
  for (int i = 0; i < 10; ++i) t.LogRefusal("198.51.100." + std::to_string(i), 200002);
  EXPECT_EQ(t.LogRefusal("10.0.0.3", 260002), 6);  // left out since the last row
  for (int i = 0; i < 1000; ++i) t.MayTry("203.0.113." + std::to_string(i), 300000);
  EXPECT_LE(t.Remembered(), 100u);
}

// Catches: a byte budget that lets a flood through (no limit, or a refill
// that ignores the cap); one that starves a sender below its rate (lost
// fractions of a byte each millisecond); a wait that is too short, so the
// reader spins, or never ends.
TEST(ByteBudget, BurstThenTheRateAndTheWaitForTheNextByte) {
  ByteBudget b(ByteRate{1000, 4000});
  EXPECT_EQ(b.Available(0), 4000);
  b.Take(4000);
  EXPECT_EQ(b.Available(0), 0);
  EXPECT_EQ(b.MsUntil(1, 0), 1);
  EXPECT_EQ(b.MsUntil(500, 0), 500);
  std::int64_t taken = 0;
  for (std::int64_t t = 1; t <= 10000; ++t) {  // one byte a millisecond, read as it comes
    const std::int64_t n = b.Available(t);
    b.Take(n);
    taken += n;
  }
  EXPECT_EQ(taken, 10000);
  EXPECT_EQ(b.Available(1'000'000), 4000);  // a long quiet spell earns only the burst
  ByteBudget odd(ByteRate{3, 10});
  odd.Take(10);
  std::int64_t got = 0;
  for (std::int64_t t = 0; t <= 10000; ++t) {
    const std::int64_t n = odd.Available(t);
    odd.Take(n);
    got += n;
  }
  EXPECT_EQ(got, 30);  // three a second, fractions kept
  b.Take(4000);
  b.Reset();
  EXPECT_EQ(b.Available(2'000'000), 4000);
  EXPECT_FALSE(ByteBudget().Limited());
  EXPECT_GT(ByteBudget().Available(0), 1'000'000'000);
  // The defaults take the longest report at least once a second.
  EXPECT_GE(kMemberReadRate.perSecond, static_cast<std::int64_t>(LineReceiver::kMaxLine + 2));
}

TEST(RelayBudget, BurstThenTheSteadyRate) {
  RelayBudget b(RelayRate{10, 5});
  int taken = 0;
  for (int i = 0; i < 20; ++i) taken += b.Take(1000);
  EXPECT_EQ(taken, 5);                      // the burst, all at once
  EXPECT_FALSE(b.Take(1050));               // half a relay earned
  EXPECT_TRUE(b.Take(1100));                // one earned
  taken = 0;
  for (int ms = 1100; ms <= 3100; ms += 10) taken += b.Take(ms);
  EXPECT_EQ(taken, 20);                     // 10 a second over two seconds
  EXPECT_EQ(b.Take(100'000) + b.Take(100'000) + b.Take(100'000) + b.Take(100'000) + b.Take(100'000) +
                b.Take(100'000),
            5);                             // a long quiet spell earns only the burst
  b.Reset();
  EXPECT_TRUE(b.Take(0));
  // One report a second never comes near the default limit.
  RelayBudget normal;
  for (int s = 0; s < 600; ++s) ASSERT_TRUE(normal.Take(s * 1000));
}

}  // namespace
}  // namespace crewmap::net
