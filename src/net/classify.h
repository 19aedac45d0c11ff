#pragma once
// What a received line means, on the host and on a member. Fields are the
// bytes as received (code page 932); see wire_text.h for display.
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::net {

struct HostReport {
  std::string Nick;
  std::string Point;
};

// On the host every line is a position report: nickname TAB position (more
// fields are ignored). A line without TAB means nothing: no result.
std::optional<HostReport> ClassifyHostPiece(std::string_view piece);

enum class MemberMessageKind { SlotAssignment, LeaveNotice, Notice, PositionRelay };

struct MemberMessage {
  MemberMessageKind Kind;
  int Slot = 0;        // assignment, leave notice, relay
  std::string Nick;    // relay
  std::string Point;   // relay
  std::string Text;    // the whole line as received (assignment and notice are shown as is)
};

// On a member, tested in this order on the first seven characters:
// "client#" slot assignment (slot 1..9 in decimal after it), "disconn" leave
// notice (two-digit slot 00..09 after it), "*******" notice line, otherwise a
// position relay: two-digit slot 00..09, ":", nickname TAB position. Lines
// that do not fit (non-numeric or out-of-range slot, missing ":" or TAB,
// numbers too long) give no result and are to be skipped.
std::optional<MemberMessage> ClassifyMemberPiece(std::string_view piece);

}  // namespace crewmap::net
