#include "main/slot_rows.h"

#include <algorithm>

#include "net/messages.h"

namespace crewmap::main {

std::vector<std::string> BuildMemberRows(const net::SlotTable& Slots, int lastSlot, RowForm form) {
  std::vector<std::string> rows;
  const int last = std::min(lastSlot, static_cast<int>(Slots.size()) - 1);
  for (int i = 0; i <= last; ++i) {
    const net::Slot& slot = Slots[static_cast<std::size_t>(i)];
    if (slot.Nick.empty()) continue;
    std::string row = net::TwoDigitSlot(i) + ":" + slot.Nick;
    if (form == RowForm::Full) row += ":" + slot.Point;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<int> SlotOfRow(std::string_view row) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (row.size() < 3 || !digit(row[0]) || !digit(row[1]) || row[2] != ':') return std::nullopt;
  return (row[0] - '0') * 10 + (row[1] - '0');
}

}  // namespace crewmap::main
