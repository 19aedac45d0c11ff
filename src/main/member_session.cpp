#include "main/member_session.h"

#include "net/classify.h"
#include "net/wire_text.h"

namespace crewmap::main {

MemberEffect ApplyMemberPiece(net::SlotTable& Slots, std::int16_t& MySlot, std::string_view piece) {
  const std::optional<net::MemberMessage> message = net::ClassifyMemberPiece(piece);
  if (!message) return {};
  const bool slotInTable = message->Slot >= 0 && message->Slot <= net::kHighestSocket;
  switch (message->Kind) {
    case net::MemberMessageKind::SlotAssignment:
      if (!slotInTable) return {};
      MySlot = static_cast<std::int16_t>(message->Slot);
      return {MemberAction::Log, net::DecodeWireText(message->Text)};
    case net::MemberMessageKind::Notice:
      return {MemberAction::Log, net::DecodeWireText(message->Text)};
    case net::MemberMessageKind::LeaveNotice:
      if (!slotInTable) return {};
      Slots[static_cast<std::size_t>(message->Slot)] = net::Slot{};
      return {MemberAction::ListShort, {}};
    case net::MemberMessageKind::PositionRelay: {
      if (!slotInTable) return {};
      net::Slot& slot = Slots[static_cast<std::size_t>(message->Slot)];
      slot.Nick = net::DecodeWireText(message->Nick);
      slot.Point = net::DecodeWireText(message->Point);
      return {MemberAction::ListFull, {}};
    }
  }
  return {};
}

}  // namespace crewmap::main
