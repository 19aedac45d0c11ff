#pragma once
// The member's handling of one line from the host, apart from the window:
// how the slot table and the own slot number change, and what the window
// shows next.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/slots.h"

namespace crewmap::main {

enum class MemberAction {
  None,       // a line without meaning: skipped
  Log,        // append logLine to the activity log (slot assignment, notice)
  ListFull,   // a relay was stored: list slots 0..8 with their positions
  ListShort,  // a member left: list slots 0..8 without positions
};

struct MemberEffect {
  MemberAction action = MemberAction::None;
  std::string logLine;  // UTF-8, the line as received
};

// Applies one received line (code page 932 bytes, without CR LF).
MemberEffect ApplyMemberPiece(net::SlotTable& Slots, std::int16_t& MySlot, std::string_view piece);

}  // namespace crewmap::main
