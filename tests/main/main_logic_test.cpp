// The main window's rules that need no window: member-list rows, the choice
// of the listening socket, and what one received line does on either side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/host_session.h"
#include "main/listener_choice.h"
#include "main/member_session.h"
#include "main/retry_schedule.h"
#include "main/silent_rows.h"
#include "main/slot_rows.h"
#include "net/wire_text.h"

namespace crewmap::main {
namespace {

using Rows = std::vector<std::string>;

net::SlotTable TableWith(std::initializer_list<std::tuple<int, std::string, std::string>> entries) {
  net::SlotTable table;
  for (const auto& [i, nick, point] : entries) table[static_cast<std::size_t>(i)] = {nick, point};
  return table;
}

TEST(SlotRows, FullFormListsOccupiedSlotsZeroToEight) {
  const net::SlotTable table = TableWith({{0, "Host", "14175,7410"},
                                          {3, "User1", "1200,3400"},
                                          {4, "", "1,1"},      // no nickname: not listed
                                          {5, "NoPoint", ""},  // ends with the second colon
                                          {9, "Nine", "9,9"}});
  EXPECT_EQ(BuildMemberRows(table, 8, RowForm::Full),
            (Rows{"00:Host:14175,7410", "03:User1:1200,3400", "05:NoPoint:"}));
}

TEST(SlotRows, ShortFormAfterDepartureCoversSlotNine) {
  const net::SlotTable table = TableWith({{0, "Host", "1,2"}, {2, "太郎", "3,4"}, {9, "Nine", "9,9"}});
  EXPECT_EQ(BuildMemberRows(table, 9, RowForm::Short), (Rows{"00:Host", "02:太郎", "09:Nine"}));
  EXPECT_EQ(BuildMemberRows(table, 8, RowForm::Short), (Rows{"00:Host", "02:太郎"}));
  EXPECT_TRUE(BuildMemberRows(net::SlotTable{}, 9, RowForm::Full).empty());
  // A double-click follows the row's slot; a row of any other form is no slot.
  EXPECT_EQ(SlotOfRow("09:Nine"), 9);
  EXPECT_EQ(SlotOfRow("12:太郎:3,4"), 12);
  for (const char* other : {"2:Two", "0x:Hex", "03Nick", "", "List2"}) EXPECT_FALSE(SlotOfRow(other)) << other;
}

struct ListenerCase {
  const char* name;
  SocketStates states;
  int afterAcceptance;
  int afterDeparture;
};

TEST(ListenerChoice, Table) {
  constexpr int C = kStateClosed, L = kStateListening, K = kStateConnected, E = kStateError;
  const ListenerCase cases[] = {
      {"first member accepted on 1", {0, K, C, C, C, C, C, C, C, C}, 2, 2},
      {"2 left while 4 listens", {0, K, C, K, L, C, C, C, C, C}, 2, 0},
      {"after 4 accepted, 2 is free", {0, K, C, K, K, C, C, C, C, C}, 2, 2},
      {"eight taken: 9 refuses", {0, K, K, K, K, K, K, K, K, C}, 9, 0},
      {"eight taken, 9 refusing, 5 left", {0, K, K, K, K, C, K, K, K, L}, 5, 5},
      {"9 still closing its refusal", {0, K, K, K, K, K, K, K, K, kStateClosing}, 0, 0},
      {"an erroring socket is not free", {0, E, C, K, K, K, K, K, K, C}, 2, 2},
      {"only 9 free after an old full run", {0, K, K, K, K, K, K, K, K, K}, 0, 0},
  };
  for (const ListenerCase& c : cases) {
    EXPECT_EQ(ListenerAfterAcceptance(c.states), c.afterAcceptance) << c.name;
    EXPECT_EQ(ListenerAfterDeparture(c.states), c.afterDeparture) << c.name;
  }
}

TEST(HostSession, StoresReportAndRelaysBytesUntouched) {
  net::SlotTable table;
  const std::string nick = net::EncodeWireText("船長ﾃｽﾄ");
  const std::string piece = nick + "\t14175,7410\textra field";
  const auto relay = StoreHostReport(table, 3, piece, 500);
  ASSERT_TRUE(relay.has_value());
  EXPECT_EQ(*relay, "03:" + piece + "\r\n");
  EXPECT_EQ(table[3].Nick, "船長ﾃｽﾄ");
  EXPECT_EQ(table[3].Point, "14175,7410");
  EXPECT_EQ(table[3].PointAtMs, 500);

  // An empty position is stored and relayed as it came; it leaves the stamp
  // of the last real one (its age keeps growing).
  ASSERT_EQ(StoreHostReport(table, 3, "Three\t", 900), std::optional<std::string>("03:Three\t\r\n"));
  EXPECT_EQ(table[3].Nick, "Three");
  EXPECT_EQ(table[3].Point, "");
  EXPECT_EQ(table[3].PointAtMs, 500);
}

TEST(HostSession, LinesWithoutMeaningChangeNothing) {
  net::SlotTable table = TableWith({{2, "Keep", "1,1"}});
  for (const std::string& bad : std::vector<std::string>{"no tab at all", std::string("\xff\xfe\x00\x81", 4), ":::"}) {
    EXPECT_FALSE(StoreHostReport(table, 2, bad, 1).has_value()) << bad;
    EXPECT_EQ(table[2].Nick, "Keep");
    EXPECT_EQ(table[2].Point, "1,1");
  }
  EXPECT_FALSE(StoreHostReport(table, 0, "a\tb", 1).has_value());   // slot 0 is never a socket
  EXPECT_FALSE(StoreHostReport(table, 10, "a\tb", 1).has_value());
}

// Also catches: relays without their stamp, or an empty position that wipes it.
TEST(MemberSession, EachKindOfLine) {
  net::SlotTable table = TableWith({{2, "Two", "2,2"}, {3, "Three", "3,3"}});
  std::int16_t mySlot = 0;

  MemberEffect e = ApplyMemberPiece(table, mySlot, "client#4", 1);
  EXPECT_EQ(e.logLine, "client#4");
  EXPECT_TRUE(e.assigned && e.rows == RowForm::Full);
  EXPECT_EQ(mySlot, 4);
  EXPECT_EQ(table[3].Nick, "Three");  // kept: a row goes when the host says its member left

  e = ApplyMemberPiece(table, mySlot, "*******" + net::EncodeWireText(" お知らせ "), 1);
  EXPECT_EQ(e.logLine, "******* お知らせ ");
  EXPECT_FALSE(e.rows || e.assigned);

  e = ApplyMemberPiece(table, mySlot, "00:" + net::EncodeWireText("ホスト") + "\t14175,7410", 700);
  EXPECT_EQ(e.rows, RowForm::Full);
  EXPECT_EQ(table[0].Nick, "ホスト");
  EXPECT_EQ(table[0].Point, "14175,7410");
  EXPECT_EQ(table[0].PointAtMs, 700);
  e = ApplyMemberPiece(table, mySlot, "00:Host\t", 800);
  EXPECT_EQ(table[0].Point, "");
  EXPECT_EQ(table[0].PointAtMs, 700);
  EXPECT_EQ(table[0].HeardAtMs, 800);  // heard, though it read nothing: not a row gone silent

  ApplyMemberPiece(table, mySlot, "02:Two\t2,2", 1);
  e = ApplyMemberPiece(table, mySlot, "disconn02", 1);
  EXPECT_EQ(e.rows, RowForm::Short);
  EXPECT_EQ(table[2].Nick, "");
  EXPECT_EQ(table[2].Point, "");

  e = ApplyMemberPiece(table, mySlot, "09:Nine\t", 1);
  EXPECT_EQ(e.rows, RowForm::Full);
  EXPECT_EQ(table[9].Nick, "Nine");
  EXPECT_EQ(table[9].Point, "");
  EXPECT_EQ(mySlot, 4);
}

TEST(MemberSession, MalformedLinesAreSkippedWithoutChange) {
  const net::SlotTable before = TableWith({{1, "One", "1,1"}});
  for (const std::string& bad : std::vector<std::string>{"client#", "client#abc", "client#99999999999999999999", "disconnXY",
                                "disconn", "1x:Nick\tpos", "03Nick\tpos", "03:NoTab", "garbage"}) {
    net::SlotTable table = before;
    std::int16_t mySlot = 7;
    const MemberEffect e = ApplyMemberPiece(table, mySlot, bad, 1);
    EXPECT_TRUE(e.logLine.empty() && !e.rows && !e.assigned) << bad;
    EXPECT_EQ(mySlot, 7) << bad;
    EXPECT_EQ(table[1].Nick, "One") << bad;
  }
}

// Catches: ghosts kept for good; a row the present connection has heard
// (a member whose capture fails) dropped; a row dropped while still fresh,
// or judged by its last position when it was heard since.
TEST(SilentRows, Table) {
  constexpr std::int64_t now = 1'000'000, T = kSilentRowMs, never = 0;
  const struct { std::int64_t heard, pointAt; std::optional<std::int64_t> vouchedSince; bool stays; } cases[] = {
      {now - T, never, {}, true},          {now - T - 1, never, {}, false},     {never, now - T - 1, {}, false},
      {now - 5, now - T - 1, {}, true},    {never, never, {}, true},            {now - T - 1, never, now - T - 1, true},
      {now - T - 1, never, now - T, false}};
  for (const auto& c : cases) {
    net::SlotTable table = TableWith({{0, "Host", "1,1"}, {4, "Four", "4,4"}});  // the host's row: never stamped
    table[4].HeardAtMs = c.heard;
    table[4].PointAtMs = c.pointAt;
    EXPECT_EQ(DropSilentRows(table, c.vouchedSince, now, T), c.stays ? 0 : 1) << c.heard << " " << c.pointAt;
    EXPECT_EQ(table[4].Nick.empty(), !c.stays);
  }
}

// Catches a schedule that does not double, overshoots its 30 s step, keeps
// trying past 30 minutes, or stops early.
TEST(RetrySchedule, Table) {
  const RetryTimes times;  // the program's own
  const struct { int attempt; std::int64_t sinceLossMs; std::optional<std::int64_t> delayMs; } cases[] = {
      {1, 0, 1000},      {2, 1000, 2000},   {3, 3000, 4000},          {4, 7000, 8000},       {5, 15000, 16000},
      {6, 31000, 30000}, {7, 61000, 30000}, {1000, 1'770'000, 30000}, {61, 1'770'001, {}}, {2, 1'799'000, {}}};
  for (const auto& c : cases) EXPECT_EQ(RetryDelayMs(times, c.attempt, c.sinceLossMs), c.delayMs) << c.attempt;
}

}  // namespace
}  // namespace crewmap::main
