#include "main/member_session.h"

#include "net/classify.h"
#include "net/wire_text.h"

namespace crewmap::main {

MemberEffect ApplyMemberPiece(net::SlotTable& Slots, std::int16_t& MySlot, std::string_view piece,
                              std::int64_t nowMs) {
  const std::optional<net::MemberMessage> message = net::ClassifyMemberPiece(piece);
  if (!message) return {};
  const bool slotInTable = message->Slot >= 0 && message->Slot <= net::kHighestSocket;
  MemberEffect effect;
  switch (message->Kind) {
    case net::MemberMessageKind::SlotAssignment:
      if (!slotInTable) return {};
      MySlot = static_cast<std::int16_t>(message->Slot);
      effect.logLine = net::DecodeWireText(message->Text);
      effect.rows = RowForm::Full;
      effect.assigned = true;
      break;
    case net::MemberMessageKind::Notice:
      effect.logLine = net::DecodeWireText(message->Text);
      effect.meeting = net::ParseMeetingNotice(message->Text);
      break;
    case net::MemberMessageKind::LeaveNotice:
      if (!slotInTable) return {};
      Slots[static_cast<std::size_t>(message->Slot)] = net::Slot{};
      effect.rows = RowForm::Short;
      break;
    case net::MemberMessageKind::PositionRelay: {
      if (!slotInTable) return {};
      net::Slot& slot = Slots[static_cast<std::size_t>(message->Slot)];
      slot.Nick = net::DecodeWireText(message->Nick);
      slot.Point = net::DecodeWireText(message->Point);
      if (!slot.Point.empty()) slot.PointAtMs = nowMs;
      slot.HeardAtMs = nowMs;
      effect.rows = RowForm::Full;
      effect.relaySlot = message->Slot;
      effect.proposalUnheard = message->Slot == MySlot && net::ParseMeetingProposal(piece.substr(3)).has_value();
      break;
    }
  }
  return effect;
}

}  // namespace crewmap::main
