#include "net/classify.h"

#include "net/messages.h"

namespace crewmap::net {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits only, value within [low, high]; leading zeros allowed.
std::optional<int> ParseSlot(std::string_view digits, int low, int high) {
  if (digits.empty()) return std::nullopt;
  int value = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > high) return std::nullopt;  // also keeps the sum from overflowing
  }
  if (value < low) return std::nullopt;
  return value;
}

struct Fields {
  std::string_view first;
  std::string_view second;
};

std::optional<Fields> SplitAtTab(std::string_view line) {
  const auto tab = line.find('\t');
  if (tab == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(tab + 1);
  return Fields{line.substr(0, tab), rest.substr(0, rest.find('\t'))};
}

}  // namespace

std::optional<HostReport> ClassifyHostPiece(std::string_view piece) {
  const auto fields = SplitAtTab(piece);
  if (!fields) return std::nullopt;
  return HostReport{std::string(fields->first), std::string(fields->second)};
}

std::optional<MemberMessage> ClassifyMemberPiece(std::string_view piece) {
  const std::string_view head = piece.substr(0, 7);
  if (head == kSlotAssignmentTag) {
    const auto slot = ParseSlot(piece.substr(7), 1, 9);
    if (!slot) return std::nullopt;
    return MemberMessage{MemberMessageKind::SlotAssignment, *slot, {}, {}, std::string(piece)};
  }
  if (head == kLeaveNoticeTag) {
    const auto slot = ParseSlot(piece.substr(7, 2), 0, 9);
    if (!slot || piece.size() < 9) return std::nullopt;
    return MemberMessage{MemberMessageKind::LeaveNotice, *slot, {}, {}, std::string(piece)};
  }
  if (head == kNoticeTag)
    return MemberMessage{MemberMessageKind::Notice, 0, {}, {}, std::string(piece)};

  if (piece.size() < 3 || piece[2] != ':') return std::nullopt;
  const auto slot = ParseSlot(piece.substr(0, 2), 0, 9);
  if (!slot) return std::nullopt;
  const auto fields = SplitAtTab(piece.substr(3));
  if (!fields) return std::nullopt;
  return MemberMessage{MemberMessageKind::PositionRelay, *slot, std::string(fields->first),
                       std::string(fields->second), std::string(piece)};
}

}  // namespace crewmap::net
