// The rules that keep one peer from hurting the others: the line bound at
// every split of CR and LF, byte-at-a-time arrivals, the outgoing queue's
// bounds and the relay budget.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/line_receiver.h"
#include "net/messages.h"
#include "net/outgoing_queue.h"
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

TEST(OutgoingQueue, PositionsStopAtTheSoftBoundAndAStallNeedsTheWholeGrace) {
  OutgoingQueue q(QueueBounds{1000, 800, 5000});
  EXPECT_TRUE(q.Admit(Traffic::Position, 999));
  EXPECT_FALSE(q.Admit(Traffic::Position, 1000));
  EXPECT_TRUE(q.Admit(Traffic::Control, 1'000'000));  // control lines always go

  EXPECT_EQ(q.Observe(799, 0), -1);
  EXPECT_EQ(q.Observe(800, 100), 5000);
  EXPECT_EQ(q.Observe(5000, 3100), 2000);   // still the same spell
  EXPECT_EQ(q.Observe(700, 4000), -1);      // drained below: the spell ends
  EXPECT_EQ(q.Observe(900, 4500), 5000);    // a new spell starts over
  EXPECT_EQ(q.Observe(900, 9500), 0);       // over the bound for the whole grace: stalled
  EXPECT_EQ(q.Observe(900, 20000), 0);
  q.Reset();
  EXPECT_EQ(q.Observe(900, 20000), 5000);

  // By default a longest relay may wait behind another one.
  EXPECT_TRUE(OutgoingQueue().Admit(Traffic::Position, LineReceiver::kMaxLine + 2));
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
