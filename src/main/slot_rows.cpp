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

}  // namespace crewmap::main
