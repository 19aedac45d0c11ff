#pragma once
// The member's handling of one line from the host, apart from the window:
// how the slot table and the own slot number change, and what the window
// shows next.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "main/slot_rows.h"
#include "net/meeting_point.h"
#include "net/slots.h"

namespace crewmap::main {

struct MemberEffect {
  std::string logLine;          // UTF-8, the line as received; empty: nothing to log
  std::optional<RowForm> rows;  // list the table again, in this form
  bool assigned = false;        // the host gave this member its slot: a join
  int relaySlot = -1;           // the slot a position relay filled
  net::MeetingNotice meeting;   // a notice that shares or clears the meeting point
  // The host relayed this member's own proposal as a report: it does not
  // take proposals (it follows the protocol without them).
  bool proposalUnheard = false;
};

// Applies one received line (code page 932 bytes, without CR LF) that
// arrived at `nowMs` (steady clock): a slot assignment sets the own slot and
// is logged (the table is kept: see MemberSide for the rows of an earlier
// connection); a leave notice empties its slot; a
// notice line is logged; a relay fills its slot, stamped as heard at `nowMs`
// (a non-empty position also as read then). A line without meaning changes nothing.
MemberEffect ApplyMemberPiece(net::SlotTable& Slots, std::int16_t& MySlot, std::string_view piece,
                              std::int64_t nowMs);

}  // namespace crewmap::main
