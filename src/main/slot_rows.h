#pragma once
// The member list's rows, built from the slot table. Plain text rules, no
// widgets, so the host, the member and the tick all list the table the same
// way and the rules are tested without a window.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/slots.h"

namespace crewmap::main {

enum class RowForm {
  Full,   // "03:User1:1200,3400"
  Short,  // "03:User1" (the rebuild right after a departure)
};

// One row per slot 0..lastSlot whose Nick is not empty, in slot order.
std::vector<std::string> BuildMemberRows(const net::SlotTable& Slots, int lastSlot, RowForm form);

// The slot a listed row stands for: its two leading digits, when a colon
// follows them. Nothing for any other row.
std::optional<int> SlotOfRow(std::string_view row);

}  // namespace crewmap::main
